#include "engine/DelphiTools.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/TestDir.h"

TEST(DelphiTools, LinesOfEveryTool) {
  // Paths in the system's separators: "/p/App.dpr" is "\p\App.dpr" on Windows.
  const auto N = NativePath;
  const std::pair<std::string, std::string> cases[] = {
      {CompilerCommandLine(N("/delphi/bin"), N("/proj/src/App.dpr"), N("/proj/out/App.exe")),
       N("/delphi/bin/DCC32.exe App.dpr -E/proj/out/")},
      {CompilerCommandLine(N("/delphi/bin/"), N("/proj/src/Pack.dpk"), N("/proj/out/Pack.bpl")),
       N("/delphi/bin/DCC32.exe Pack.dpk -E/proj/out/")},
      // The tool directory is used untrimmed when it is not blank; a name with
      // a blank is quoted, here and in every other place.
      {CompilerCommandLine(N(" /d "), "Lib.dpr", N("/out/Lib.dll")), N("\" /d /DCC32.exe\" Lib.dpr -E/out/")},
  // A backslash before a closing quote is doubled, so that it stays one.
#ifdef _WIN32
      {CompilerCommandLine("\\my tools", "\\s\\My App.dpr", "\\my out\\App.exe"),
       "\"\\my tools\\DCC32.exe\" \"My App.dpr\" \"-E\\my out\\\\\""},
#else
      {CompilerCommandLine("/my tools", "/s/My App.dpr", "/my out/App.exe"),
       "\"/my tools/DCC32.exe\" \"My App.dpr\" \"-E/my out/\""},
#endif
      // A destination without a directory keeps the output where the compiler runs.
      {CompilerCommandLine("", N("/proj/App.dpr"), "App.exe"), "DCC32.exe App.dpr -E"},
      {ResourceEntryCommandLine(N("/delphi/bin"), N("/proj/res/Strings.rc")),
       N("/delphi/bin/BRCC32.exe") + " -v -foStrings.RES Strings.rc"},
      {ResourceEntryCommandLine("", N("/proj/my.app.rc")), "BRCC32.exe -v -fomy.app.RES my.app.rc"},
      {ResourceEntryCommandLine("", "NoExt"), "BRCC32.exe -v -foNoExt.RES NoExt"},
      {ResourceEntryCommandLine("", N("/s/My Icons.rc")), "BRCC32.exe -v \"-foMy Icons.RES\" \"My Icons.rc\""},
      {ScriptCommandLine("App.RC"), "BRCC32.exe -v -foApp.RES App.RC"},
      {ScriptCommandLine("My App.RC"), "BRCC32.exe -v \"-foMy App.RES\" \"My App.RC\""},
      {ShortPathArgument(N("/a b/x.dpr")), N("\"/a b/x.dpr\"")},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(line, expected);

  for (const std::string blank : {"", "   ", " \t\r\n"}) {
    EXPECT_EQ(CompilerCommandLine(blank, N("/p/App.dpr"), N("/p/bin/App.exe")), N("DCC32.exe App.dpr -E/p/bin/"));
    EXPECT_EQ(ResourceEntryCommandLine(blank, N("/p/Icons.rc")), "BRCC32.exe -v -foIcons.RES Icons.rc");
  }
  // The tools are started with the words these lines split into.
  using V = std::vector<std::string>;
  EXPECT_EQ(platform::SplitCommandLine(CompilerCommandLine(N("/d"), N("/p/App.dpr"), N("/p/out/App.exe"))),
            (V{N("/d/DCC32.exe"), "App.dpr", N("-E/p/out/")}));
  EXPECT_EQ(platform::SplitCommandLine(ResourceEntryCommandLine("", N("/p/My Icons.rc"))),
            (V{"BRCC32.exe", "-v", "-foMy Icons.RES", "My Icons.rc"}));
}

#ifdef _WIN32

class DelphiToolsOnWindows : public TTestDir {};

// Drive letters and backslashes; an output directory that exists is named in
// its short form, and the switch is one argument whatever its name.
TEST_F(DelphiToolsOnWindows, WindowsLinesUseBackslashes) {
  EXPECT_EQ(CompilerCommandLine("C:\\Delphi\\Bin", "C:\\proj\\App.dpr", "C:\\No Such Dir\\App.exe"),
            "C:\\Delphi\\Bin\\DCC32.exe App.dpr \"-EC:\\No Such Dir\\\\\"");
  EXPECT_EQ(ResourceEntryCommandLine("C:\\Delphi\\Bin\\", "C:\\proj\\Icons.rc"),
            "C:\\Delphi\\Bin\\BRCC32.exe -v -foIcons.RES Icons.rc");

  WriteBytes("Output Directory/.keep", "");
  const auto args = platform::SplitCommandLine(CompilerCommandLine("", "App.dpr", Path("Output Directory/App.exe")));
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[2], "-E" + platform::ShortPathName(Path("Output Directory")) + "\\");
  EXPECT_TRUE(platform::DirectoryExists(args[2].substr(2))) << args[2];
  // A directory without a short form keeps its blank, in one argument.
  EXPECT_EQ(platform::SplitCommandLine(CompilerCommandLine("", "App.dpr", "C:\\No Such Dir\\App.exe"))[2],
            "-EC:\\No Such Dir\\");
}

#endif
