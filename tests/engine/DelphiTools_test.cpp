#include "engine/DelphiTools.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Process.h"

#ifndef _WIN32

TEST(DelphiTools, CompilerLineNamesSourceAndOutputDirectory) {
  EXPECT_EQ(CompilerCommandLine("/delphi/bin", "/proj/src/App.dpr", "/proj/out/App.exe"),
            "/delphi/bin/DCC32.exe App.dpr -E/proj/out/");
  EXPECT_EQ(CompilerCommandLine("/delphi/bin/", "/proj/src/Pack.dpk", "/proj/out/Pack.bpl"),
            "/delphi/bin/DCC32.exe Pack.dpk -E/proj/out/");
  // The tool directory is used untrimmed when it is not blank; a name with a
  // blank is quoted, here and in every other place.
  EXPECT_EQ(CompilerCommandLine(" /d ", "Lib.dpr", "/out/Lib.dll"), "\" /d /DCC32.exe\" Lib.dpr -E/out/");
  EXPECT_EQ(CompilerCommandLine("/my tools", "/s/My App.dpr", "/my out/App.exe"),
            "\"/my tools/DCC32.exe\" \"My App.dpr\" \"-E/my out/\"");
  EXPECT_EQ(ResourceEntryCommandLine("", "/s/My Icons.rc"), "BRCC32.exe -v \"-foMy Icons.RES\" \"My Icons.rc\"");
  EXPECT_EQ(ScriptCommandLine("My App.RC"), "BRCC32.exe -v \"-foMy App.RES\" \"My App.RC\"");
  EXPECT_EQ(ShortPathArgument("/a b/x.dpr"), "\"/a b/x.dpr\"");
  // A destination without a directory keeps the output where the compiler runs.
  EXPECT_EQ(CompilerCommandLine("", "/proj/App.dpr", "App.exe"), "DCC32.exe App.dpr -E");
}

TEST(DelphiTools, BlankToolDirectoryLeavesTheBareTool) {
  for (const std::string blank : {"", "   ", " \t\r\n"}) {
    EXPECT_EQ(CompilerCommandLine(blank, "/p/App.dpr", "/p/bin/App.exe"), "DCC32.exe App.dpr -E/p/bin/");
    EXPECT_EQ(ResourceEntryCommandLine(blank, "/p/Icons.rc"), "BRCC32.exe -v -foIcons.RES Icons.rc");
  }
}

TEST(DelphiTools, ResourceLinesNameTheResFile) {
  EXPECT_EQ(ResourceEntryCommandLine("/delphi/bin", "/proj/res/Strings.rc"),
            "/delphi/bin/BRCC32.exe -v -foStrings.RES Strings.rc");
  EXPECT_EQ(ResourceEntryCommandLine("", "/proj/my.app.rc"), "BRCC32.exe -v -fomy.app.RES my.app.rc");
  EXPECT_EQ(ResourceEntryCommandLine("", "NoExt"), "BRCC32.exe -v -foNoExt.RES NoExt");
  EXPECT_EQ(ScriptCommandLine("App.RC"), "BRCC32.exe -v -foApp.RES App.RC");
  EXPECT_EQ(CompilerOptionsCommandLine(), "DCC32.exe /?");
}

TEST(DelphiTools, LinesSplitIntoTheToolsArguments) {
  using V = std::vector<std::string>;
  EXPECT_EQ(platform::SplitCommandLine(CompilerCommandLine("/d", "/p/App.dpr", "/p/out/App.exe")),
            (V{"/d/DCC32.exe", "App.dpr", "-E/p/out/"}));
  EXPECT_EQ(platform::SplitCommandLine(ResourceEntryCommandLine("", "/p/Icons.rc")),
            (V{"BRCC32.exe", "-v", "-foIcons.RES", "Icons.rc"}));
}

#else

TEST(DelphiTools, WindowsLinesUseBackslashes) {
  EXPECT_EQ(CompilerCommandLine("C:\\Delphi\\Bin", "C:\\proj\\App.dpr", "C:\\Windows\\Temp\\App.exe"),
            "C:\\Delphi\\Bin\\DCC32.exe App.dpr -EC:\\Windows\\Temp\\");
  EXPECT_EQ(ResourceEntryCommandLine("C:\\Delphi\\Bin\\", "C:\\proj\\Icons.rc"),
            "C:\\Delphi\\Bin\\BRCC32.exe -v -foIcons.RES Icons.rc");
}

#endif
