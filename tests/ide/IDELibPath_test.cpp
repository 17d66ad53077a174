#include "ide/IDELibPath.h"

#include <cstdlib>
#include <filesystem>

#include "platform/Error.h"
#include "support/TestDir.h"

#ifndef _WIN32

namespace {

// A text as the registry file writes it inside quotes.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == '\t') {
      out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : "\\t";
      continue;
    }
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

using TStrings = std::vector<std::string>;

}  // namespace

// A Wine prefix of its own in the test directory, with drive C: as a plain
// directory tree.
class IDELibPathTest : public TTestDir {
 protected:
  void SetUp() override {
    TTestDir::SetUp();
    if (const char* old = std::getenv("WINEPREFIX")) OldPrefix = old;
    setenv("WINEPREFIX", Path("prefix").c_str(), 1);
  }
  void TearDown() override {
    if (OldPrefix)
      setenv("WINEPREFIX", OldPrefix->c_str(), 1);
    else
      unsetenv("WINEPREFIX");
    TTestDir::TearDown();
  }

  void MakeDirs(const TStrings& dirsOnC) {
    for (const auto& dir : dirsOnC) std::filesystem::create_directories(Path("prefix/dosdevices/c:/" + dir));
  }
  // The IDE's keys for a version; valueLine overrides the whole value line.
  void Install(const std::string& version, const std::string& searchPathLine, const std::string& rootDirLine) {
    WriteBytes("prefix/user.reg",
               "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-1-2-3-1000\n\n"
               "[Software\\\\Borland\\\\Delphi\\\\" +
                   version + ".0\\\\Library] 1700000000\n#time=1d9c0a2b3c4d5e6\n" + searchPathLine +
                   "\n\"Browsing Path\"=\"$(DELPHI)\\\\Source\"\n");
    WriteBytes("prefix/system.reg",
               "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
               "[Software\\\\Borland\\\\Delphi\\\\" +
                   version + ".0] 1700000000\n" + rootDirLine + "\n\"Version\"=dword:00000005\n");
  }
  void Install(const std::string& version, const std::string& searchPath) {
    Install(version, "\"Search Path\"=" + Quoted(searchPath),
            "\"RootDir\"=" + Quoted("C:\\Program Files\\Borland\\Delphi" + version));
  }

  std::optional<std::string> OldPrefix;
};

TEST_F(IDELibPathTest, ExpandsTheRootDirectoryMacro) {
  MakeDirs({"Program Files/Borland/Delphi5/Lib", "Program Files/Borland/Delphi5/Bin"});
  Install("5", "$(DELPHI)\\Lib;$(DELPHI)\\Bin");
  TFixedLibraryPathPrompt prompt("5");
  auto result = GetDelphiLibraryPath("5", prompt);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result,
            (TStrings{"C:\\Program Files\\Borland\\Delphi5\\LIB", "C:\\Program Files\\Borland\\Delphi5\\BIN"}));
  EXPECT_EQ(prompt.Proposals, TStrings{"5"});
  EXPECT_TRUE(prompt.Messages.empty());
}

TEST_F(IDELibPathTest, TrimsSkipsEmptyAndDropsMissingEntriesInOrder) {
  MakeDirs({"Program Files/Borland/Delphi4/Lib", "Program Files/Borland/Delphi4/Imports", "Tools/Units",
            "Program Files/Borland/Delphi4/Projects/Bpl"});
  Install("4",
          "  $(delphi)\\lib ;;\t$(DELPHI)\\Missing;c:\\tools\\units;$(Delphi)\\Imports\\;\r\n;"
          "$(DELPHI)\\Projects\\Bpl;");
  TFixedLibraryPathPrompt prompt("4");
  auto result = GetDelphiLibraryPath("5", prompt);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, (TStrings{"C:\\Program Files\\Borland\\Delphi4\\LIB", "C:\\TOOLS\\UNITS",
                               "C:\\Program Files\\Borland\\Delphi4\\IMPORTS\\",
                               "C:\\Program Files\\Borland\\Delphi4\\PROJECTS\\BPL"}));
}

TEST_F(IDELibPathTest, OnlyTheFirstMacroIsReplacedAndAPathWithoutSeparatorIsOneEntry) {
  MakeDirs({"Program Files/Borland/Delphi5/Lib"});
  Install("5", "$(DELPHI)\\Lib");
  TFixedLibraryPathPrompt prompt("5");
  EXPECT_EQ(GetDelphiLibraryPath("5", prompt), TStrings{"C:\\Program Files\\Borland\\Delphi5\\LIB"});
  // The second macro stays, so that entry names nothing that exists.
  Install("5", "$(DELPHI)\\Lib;$(DELPHI)\\$(DELPHI)");
  MakeDirs({"Program Files/Borland/Delphi5/C:/Program Files/Borland/Delphi5"});
  EXPECT_EQ(GetDelphiLibraryPath("5", prompt), TStrings{"C:\\Program Files\\Borland\\Delphi5\\LIB"});
}

TEST_F(IDELibPathTest, RefusesOtherVersionsWithAMessage) {
  MakeDirs({"Program Files/Borland/Delphi5/Lib"});
  Install("5", "$(DELPHI)\\Lib");
  for (std::string version : {" 5", "5.0", "5 ", "6", "", "05"}) {
    TFixedLibraryPathPrompt prompt(version);
    EXPECT_FALSE(GetDelphiLibraryPath("5", prompt).has_value()) << '"' << version << '"';
    EXPECT_EQ(prompt.Messages, TStrings{"Only 4 and 5 supported at this time for automated library path extraction"});
  }
}

TEST_F(IDELibPathTest, CancelGivesNoListAndNoMessage) {
  Install("5", "$(DELPHI)\\Lib");
  TFixedLibraryPathPrompt prompt(std::nullopt);
  EXPECT_FALSE(GetDelphiLibraryPath("5", prompt).has_value());
  EXPECT_EQ(prompt.Proposals, TStrings{"5"});
  EXPECT_TRUE(prompt.Messages.empty());
}

TEST_F(IDELibPathTest, MissingKeysGiveAnEmptyList) {
  TFixedLibraryPathPrompt prompt("5");
  auto result = GetDelphiLibraryPath("5", prompt);  // no registry files at all
  ASSERT_TRUE(result.has_value());
  EXPECT_TRUE(result->empty());

  MakeDirs({"Program Files/Borland/Delphi4/Lib"});
  Install("4", "$(DELPHI)\\Lib");  // another version installed
  result = GetDelphiLibraryPath("5", prompt);
  ASSERT_TRUE(result.has_value());
  EXPECT_TRUE(result->empty());
  EXPECT_TRUE(prompt.Messages.empty());

  // Without a root directory the macro expands to nothing; plain entries still count.
  MakeDirs({"Units"});
  Install("5", "\"Search Path\"=\"$(DELPHI)\\\\Lib;C:\\\\Units\"", "");
  EXPECT_EQ(GetDelphiLibraryPath("5", prompt), TStrings{"C:\\UNITS"});
}

TEST_F(IDELibPathTest, NonStringValuesFail) {
  Install("5", "\"Search Path\"=dword:00000001", "\"RootDir\"=\"C:\\\\D5\"");
  TFixedLibraryPathPrompt prompt("5");
  try {
    GetDelphiLibraryPath("5", prompt);
    ADD_FAILURE() << "a number read as the search path";
  } catch (const TError& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid data type for 'Search Path'");
  }
  Install("5", "\"Search Path\"=\"C:\\\\D5\"", "\"RootDir\"=hex:43,3a,5c");
  EXPECT_THROW(GetDelphiLibraryPath("5", prompt), TError);
  // An expand string is a string.
  MakeDirs({"D5/Lib"});
  Install("5", "\"Search Path\"=str(2):\"$(DELPHI)\\\\Lib\"", "\"RootDir\"=str(2):\"C:\\\\D5\"");
  EXPECT_EQ(GetDelphiLibraryPath("5", prompt), TStrings{"C:\\D5\\LIB"});
}

#endif
