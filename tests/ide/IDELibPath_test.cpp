#include "ide/IDELibPath.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "support/ScratchRegistry.h"
#include "support/TestDir.h"

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

// The IDE's keys in the registry and its directories on drive C:. On POSIX
// the registry is a Wine prefix of the test's own, with C: a plain directory
// tree in it. On Windows the keys go through the API into scratch keys of
// the test's own, and the test directory stands in for C:, so that nothing
// of the machine is read or changed.
class IDELibPathTest : public TTestDir {
 protected:
  void SetUp() override {
    TTestDir::SetUp();
#ifdef _WIN32
    Scratch = std::make_unique<TScratchRegistry>();
    C = Root;
#else
    if (const char* old = std::getenv("WINEPREFIX")) OldPrefix = old;
    SetEnv("WINEPREFIX", Path("prefix"));
    C = "C:";
#endif
  }
  void TearDown() override {
#ifdef _WIN32
    Scratch.reset();
#else
    if (OldPrefix)
      SetEnv("WINEPREFIX", *OldPrefix);
    else
      UnsetEnv("WINEPREFIX");
#endif
    TTestDir::TearDown();
  }

  void MakeDirs(const TStrings& dirsOnC) {
#ifdef _WIN32
    for (const auto& dir : dirsOnC) std::filesystem::create_directories(Path(dir));
#else
    for (const auto& dir : dirsOnC) std::filesystem::create_directories(Path("prefix/dosdevices/c:/" + dir));
#endif
  }
  // The IDE's keys for a version; valueLine overrides the whole value line.
  void Install(const std::string& version, const std::string& searchPathLine, const std::string& rootDirLine) {
    const std::string user =
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-1-2-3-1000\n\n"
        "[Software\\\\Borland\\\\Delphi\\\\" +
        version + ".0\\\\Library] 1700000000\n#time=1d9c0a2b3c4d5e6\n" + searchPathLine +
        "\n\"Browsing Path\"=\"$(DELPHI)\\\\Source\"\n";
    const std::string machine =
        "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
        "[Software\\\\Borland\\\\Delphi\\\\" +
        version + ".0] 1700000000\n" + rootDirLine + "\n\"Version\"=dword:00000005\n";
#ifdef _WIN32
    // As a file written anew: the keys of an earlier install go.
    DeleteRegistryTree(platform::TRegistryRoot::CurrentUser, "Software\\Borland");
    DeleteRegistryTree(platform::TRegistryRoot::LocalMachine, "Software\\Borland");
    const std::string key = "Software\\Borland\\Delphi\\" + version + ".0";
    WriteRegistryKeys(platform::TRegistryRoot::CurrentUser, user, {key + "\\Library"});
    WriteRegistryKeys(platform::TRegistryRoot::LocalMachine, machine, {key});
#else
    WriteBytes("prefix/user.reg", user);
    WriteBytes("prefix/system.reg", machine);
#endif
  }
  void Install(const std::string& version, const std::string& searchPath) {
    Install(version, "\"Search Path\"=" + Quoted(searchPath),
            "\"RootDir\"=" + Quoted(C + "\\Program Files\\Borland\\Delphi" + version));
  }
  // A name on drive C:, written with a single backslash after the drive.
  std::string OnC(const std::string& rest) const {
    return C + rest;
  }
  // The same, as the library path gives it back: entries are upper-cased.
  std::string OnCUpper(const std::string& rest) const {
    return platform::UpperAscii(C + rest);
  }

  std::string C;  // drive C: as the test sees it
#ifdef _WIN32
  std::unique_ptr<TScratchRegistry> Scratch;
#else
  std::optional<std::string> OldPrefix;
#endif
};

TEST_F(IDELibPathTest, ExpandsTheRootDirectoryMacro) {
  MakeDirs({"Program Files/Borland/Delphi5/Lib", "Program Files/Borland/Delphi5/Bin"});
  Install("5", "$(DELPHI)\\Lib;$(DELPHI)\\Bin");
  TFixedLibraryPathPrompt prompt("5");
  auto result = GetDelphiLibraryPath("5", prompt);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result,
            (TStrings{OnC("\\Program Files\\Borland\\Delphi5\\LIB"), OnC("\\Program Files\\Borland\\Delphi5\\BIN")}));
  EXPECT_EQ(prompt.Proposals, TStrings{"5"});
  EXPECT_TRUE(prompt.Messages.empty());
}

TEST_F(IDELibPathTest, TrimsSkipsEmptyAndDropsMissingEntriesInOrder) {
  MakeDirs({"Program Files/Borland/Delphi4/Lib", "Program Files/Borland/Delphi4/Imports", "Tools/Units",
            "Program Files/Borland/Delphi4/Projects/Bpl"});
  Install("4", "  $(delphi)\\lib ;;\t$(DELPHI)\\Missing;" + platform::LowerAscii(C) +
                   "\\tools\\units;$(Delphi)\\Imports\\;\r\n;"
                   "$(DELPHI)\\Projects\\Bpl;");
  TFixedLibraryPathPrompt prompt("4");
  auto result = GetDelphiLibraryPath("5", prompt);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, (TStrings{OnC("\\Program Files\\Borland\\Delphi4\\LIB"), OnCUpper("\\TOOLS\\UNITS"),
                               OnC("\\Program Files\\Borland\\Delphi4\\IMPORTS\\"),
                               OnC("\\Program Files\\Borland\\Delphi4\\PROJECTS\\BPL")}));
}

TEST_F(IDELibPathTest, OnlyTheFirstMacroIsReplacedAndAPathWithoutSeparatorIsOneEntry) {
  MakeDirs({"Program Files/Borland/Delphi5/Lib"});
  Install("5", "$(DELPHI)\\Lib");
  TFixedLibraryPathPrompt prompt("5");
  EXPECT_EQ(GetDelphiLibraryPath("5", prompt), TStrings{OnC("\\Program Files\\Borland\\Delphi5\\LIB")});
  // The second macro stays, so that entry names nothing that exists. (Where
  // a name may hold a colon, the directory that replacing both would name
  // is made, so that the test would see it.)
  Install("5", "$(DELPHI)\\Lib;$(DELPHI)\\$(DELPHI)");
#ifndef _WIN32
  MakeDirs({"Program Files/Borland/Delphi5/C:/Program Files/Borland/Delphi5"});
#endif
  EXPECT_EQ(GetDelphiLibraryPath("5", prompt), TStrings{OnC("\\Program Files\\Borland\\Delphi5\\LIB")});
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
  auto result = GetDelphiLibraryPath("5", prompt);  // no keys at all
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
  Install("5", "\"Search Path\"=" + Quoted("$(DELPHI)\\Lib;" + OnC("\\Units")), "");
  EXPECT_EQ(GetDelphiLibraryPath("5", prompt), TStrings{OnCUpper("\\UNITS")});
}

TEST_F(IDELibPathTest, NonStringValuesFail) {
  Install("5", "\"Search Path\"=dword:00000001", "\"RootDir\"=" + Quoted(OnC("\\D5")));
  TFixedLibraryPathPrompt prompt("5");
  try {
    GetDelphiLibraryPath("5", prompt);
    ADD_FAILURE() << "a number read as the search path";
  } catch (const TError& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid data type for 'Search Path'");
  }
  Install("5", "\"Search Path\"=" + Quoted(OnC("\\D5")), "\"RootDir\"=hex:43,3a,5c");
  EXPECT_THROW(GetDelphiLibraryPath("5", prompt), TError);
  // An expand string is a string.
  MakeDirs({"D5/Lib"});
  Install("5", "\"Search Path\"=str(2):\"$(DELPHI)\\\\Lib\"", "\"RootDir\"=str(2):" + Quoted(OnC("\\D5")));
  EXPECT_EQ(GetDelphiLibraryPath("5", prompt), TStrings{OnC("\\D5\\LIB")});
}
