#include "ide/IDELibPath.h"

#include <filesystem>

#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "support/RegistryTest.h"

namespace {

using TStrings = std::vector<std::string>;

// A text as the registry file writes it inside quotes.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text)
    out += c == '\\' ? "\\\\" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
  return out + "\"";
}

// The IDE's keys in the registry and its directories on drive C:, which is a
// directory of the prefix on POSIX and the test directory on Windows.
class IDELibPathTest : public TRegistryTest {
 protected:
  void SetUp() override {
    TRegistryTest::SetUp();
#ifdef _WIN32
    C = Root;
#else
    C = "C:";
    CInTestDir = "prefix/dosdevices/c:/";
#endif
  }
  void MakeDirs(const TStrings& dirsOnC) {
    for (const auto& dir : dirsOnC) std::filesystem::create_directories(Path(CInTestDir + dir));
  }
  // The IDE's keys for a version, with these value lines, as written anew.
  void Install(const std::string& version, const std::string& searchPathLine, const std::string& rootDirLine) {
    const std::string key = "Software\\Borland\\Delphi\\" + version + ".0";
    const std::string regKey = "Software\\\\Borland\\\\Delphi\\\\" + version + ".0";
    WriteRegistry(platform::TRegistryRoot::CurrentUser,
                  "WINE REGISTRY Version 2\n[" + regKey + "\\\\Library] 1700000000\n" + searchPathLine +
                      "\n\"Browsing Path\"=\"$(DELPHI)\\\\Source\"\n",
                  {key + "\\Library"});
    WriteRegistry(platform::TRegistryRoot::LocalMachine,
                  "WINE REGISTRY Version 2\n#arch=win32\n[" + regKey + "] 1700000000\n" + rootDirLine +
                      "\n\"Version\"=dword:00000005\n",
                  {key});
  }
  void Install(const std::string& version, const std::string& searchPath) {
    Install(version, "\"Search Path\"=" + Quoted(searchPath),
            "\"RootDir\"=" + Quoted(C + "\\Program Files\\Borland\\Delphi" + version));
  }
  std::optional<TStrings> LibraryPath(const std::string& answer = "5") {
    Prompt.Answer = answer;
    return GetDelphiLibraryPath("5", Prompt);
  }
  std::string Delphi(const std::string& version, const std::string& rest) const {
    return C + "\\Program Files\\Borland\\Delphi" + version + rest;
  }

  std::string C;           // drive C: as the test sees it
  std::string CInTestDir;  // and where it is in the test directory
  TFixedLibraryPathPrompt Prompt{std::nullopt};
};

}  // namespace

// The root directory replaces the first $(DELPHI) of an entry; entries are
// trimmed and upper-cased, empty and missing ones dropped, the rest kept in
// order, whether the path ends in ';' or not.
TEST_F(IDELibPathTest, ExpandsTrimsAndDropsMissingEntriesInOrder) {
  MakeDirs({"Program Files/Borland/Delphi5/Lib", "Program Files/Borland/Delphi5/Bin"});
  Install("5", "$(DELPHI)\\Lib;$(DELPHI)\\Bin");
  EXPECT_EQ(LibraryPath(), (TStrings{Delphi("5", "\\LIB"), Delphi("5", "\\BIN")}));
  EXPECT_EQ(Prompt.Proposals, TStrings{"5"});
  EXPECT_TRUE(Prompt.Messages.empty());

  MakeDirs({"Program Files/Borland/Delphi4/Lib", "Program Files/Borland/Delphi4/Imports", "Tools/Units",
            "Program Files/Borland/Delphi4/Projects/Bpl"});
  Install("4", "  $(delphi)\\lib ;;\t$(DELPHI)\\Missing;" + platform::LowerAscii(C) +
                   "\\tools\\units;$(Delphi)\\Imports\\;\r\n;$(DELPHI)\\Projects\\Bpl;");
  EXPECT_EQ(LibraryPath("4"), (TStrings{Delphi("4", "\\LIB"), platform::UpperAscii(C + "\\TOOLS\\UNITS"),
                                        Delphi("4", "\\IMPORTS\\"), Delphi("4", "\\PROJECTS\\BPL")}));

  // The second macro stays, so that entry names nothing that exists. (Where
  // a name may hold a colon, the directory that replacing both would name
  // is made, so that the test would see it.)
  Install("5", "$(DELPHI)\\Lib;$(DELPHI)\\$(DELPHI)");
#ifndef _WIN32
  MakeDirs({"Program Files/Borland/Delphi5/C:/Program Files/Borland/Delphi5"});
#endif
  EXPECT_EQ(LibraryPath(), TStrings{Delphi("5", "\\LIB")});
}

TEST_F(IDELibPathTest, OtherVersionsAreRefusedAndCancelGivesNothing) {
  MakeDirs({"Program Files/Borland/Delphi5/Lib"});
  Install("5", "$(DELPHI)\\Lib");
  for (std::string version : {" 5", "5.0", "5 ", "6", "", "05"}) {
    Prompt.Messages.clear();
    EXPECT_FALSE(LibraryPath(version).has_value()) << '"' << version << '"';
    EXPECT_EQ(Prompt.Messages, TStrings{"Only 4 and 5 supported at this time for automated library path extraction"});
  }
  TFixedLibraryPathPrompt cancel{std::nullopt};
  EXPECT_FALSE(GetDelphiLibraryPath("5", cancel).has_value());
  EXPECT_EQ(cancel.Proposals, TStrings{"5"});
  EXPECT_TRUE(cancel.Messages.empty());
}

TEST_F(IDELibPathTest, MissingKeysGiveAnEmptyList) {
  EXPECT_EQ(LibraryPath(), TStrings{});  // no keys at all
  MakeDirs({"Program Files/Borland/Delphi4/Lib"});
  Install("4", "$(DELPHI)\\Lib");  // another version installed
  EXPECT_EQ(LibraryPath(), TStrings{});
  EXPECT_TRUE(Prompt.Messages.empty());
  // Without a root directory the macro expands to nothing; plain entries still count.
  MakeDirs({"Units"});
  Install("5", "\"Search Path\"=" + Quoted("$(DELPHI)\\Lib;" + C + "\\Units"), "");
  EXPECT_EQ(LibraryPath(), TStrings{platform::UpperAscii(C + "\\UNITS")});
}

TEST_F(IDELibPathTest, NonStringValuesFail) {
  Install("5", "\"Search Path\"=dword:00000001", "\"RootDir\"=" + Quoted(C + "\\D5"));
  EXPECT_EQ(ErrorText<TError>([&] { LibraryPath(); }), "Invalid data type for 'Search Path'");
  Install("5", "\"Search Path\"=" + Quoted(C + "\\D5"), "\"RootDir\"=hex:43,3a,5c");
  EXPECT_THROW(LibraryPath(), TError);
  // An expand string is a string.
  MakeDirs({"D5/Lib"});
  Install("5", "\"Search Path\"=str(2):\"$(DELPHI)\\\\Lib\"", "\"RootDir\"=str(2):" + Quoted(C + "\\D5"));
  EXPECT_EQ(LibraryPath(), TStrings{C + "\\D5\\LIB"});
}
