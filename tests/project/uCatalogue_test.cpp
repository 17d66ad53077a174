#include "project/uCatalogue.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "project/uGlobalConstants.h"
#include "support/TestDir.h"

class CatalogueTest : public TTestDir {};

TEST_F(CatalogueTest, ReadsProjectsInFileOrderDroppingEmptyAndRepeatedKeys) {
  WriteBytes("tesmar.ini",
             CrLf({"[Other]", "Gamma=/elsewhere", "[projects]", "Alpha=/p/Alpha", "Empty=", "Beta = /p/Beta ",
                   "alpha=/p/Second", "; Delta=/p/Delta", "[Projects]", "Gamma=/p/Gamma"}));
  std::vector<std::string> lines;
  for (const auto& entry : ReadCatalogue(Path("tesmar.ini"))) lines.push_back(entry.Line());
  EXPECT_EQ(lines, (std::vector<std::string>{"Alpha=/p/Alpha", "Beta=/p/Beta", "Gamma=/p/Gamma"}));
  // A missing file or section is an empty catalogue; a binary file is refused.
  EXPECT_TRUE(ReadCatalogue(Path("none.ini")).empty());
  WriteBytes("other.ini", CrLf({"[Settings]", "A=1"}));
  EXPECT_TRUE(ReadCatalogue(Path("other.ini")).empty());
  WriteBytes("binary.ini", std::string("MZ\0\0\x01\x02", 6) + std::string(4096, '\0'));
  EXPECT_THROW(ReadCatalogue(Path("binary.ini")), TError);
}

TEST(CatalogueMatch, FirstLineContainingTheArgumentWithCase) {
  const TCatalogue catalogue = {{"Alpha", "/P/Alpha"}, {"Beta", "/P/Beta"}, {"AlphaTwo", "/Q/a2"}};
  const std::pair<const char*, int> cases[] = {
      {"Beta", 1},   {"Alpha", 0},  // the first of two that hold it
      {"P/", 0},     {"Q/a", 2},    // part of a directory
      {"a=/P/B", 1},                // across the equals sign: the line is name=directory
      {"a=/Q", -1},  {"beta", -1}, {"Gamma", -1}, {"", -1},
  };
  for (const auto& [argument, index] : cases) EXPECT_EQ(FindCatalogueEntry(catalogue, argument), index) << argument;
  EXPECT_EQ(FindCatalogueEntry({}, "Alpha"), -1);
}

// A name goes in place or to the end of the section; the file and its
// directory are made when missing; a read-only file is refused.
TEST_F(CatalogueTest, AddingKeepsOtherLinesAndReplacesANameInPlace) {
  WriteBytes("tesmar.ini", CrLf({"; my projects", "[Projects]", "Alpha=/p/Alpha", "Beta=/p/Beta", "[Window]", "X=1"}));
  AddCatalogueEntry(Path("tesmar.ini"), "Gamma", "/p/Gamma");
  AddCatalogueEntry(Path("tesmar.ini"), "alpha", "/p/NewAlpha");
  EXPECT_EQ(ReadBytes("tesmar.ini"), CrLf({"; my projects", "[Projects]", "Alpha=/p/NewAlpha", "Beta=/p/Beta",
                                           "Gamma=/p/Gamma", "[Window]", "X=1"}));
  AddCatalogueEntry(Path("config/tesmar/tesmar.ini"), "Suite", "/projects/Suite");
  EXPECT_EQ(ReadBytes("config/tesmar/tesmar.ini"), CrLf({"[Projects]", "Suite=/projects/Suite"}));
  platform::SetReadOnly(Path("tesmar.ini"), true);
  EXPECT_THROW(AddCatalogueEntry(Path("tesmar.ini"), "Delta", "/p/Delta"), TError);
  EXPECT_EQ(ReadCatalogue(Path("tesmar.ini")).size(), 3u);
}

// A name that a key cannot hold is stored escaped and read back as it was;
// other names stay byte for byte, and so does a key written by hand.
TEST_F(CatalogueTest, NamesAKeyCannotHoldAreStoredEscapedAndReadBackAsTheyWere) {
  const std::pair<std::string, std::string> names[] = {{"Suite", "Suite"},
                                                       {"Gr\xfc\xdf"
                                                        "e 2",
                                                        "Gr\xfc\xdf"
                                                        "e 2"},
                                                       {"a;b[c]", "a;b[c]"},
                                                       {"100%", "100%"},
                                                       {"a=b", "%a%3Db"},
                                                       {";semi", "%%3Bsemi"},
                                                       {"[sq]", "%%5Bsq]"},
                                                       {"%41", "%%2541"},
                                                       {"", "%"},
                                                       {" end ", "% end%20"},
                                                       {"two\r\nlines", "%two%0D%0Alines"}};
  std::vector<std::string> lines{"[Projects]", "%TEMP%=/t"}, read{"%TEMP%"};
  WriteBytes("tesmar.ini", CrLf(lines));
  for (const auto& [name, key] : names) {
    AddCatalogueEntry(Path("tesmar.ini"), name, "/p/" + std::to_string(read.size()));
    lines.push_back(key + "=/p/" + std::to_string(read.size()));
    read.push_back(name);
  }
  EXPECT_EQ(ReadBytes("tesmar.ini"), CrLf(lines));
  std::vector<std::string> back;
  for (const TCatalogueEntry& entry : ReadCatalogue(Path("tesmar.ini"))) back.push_back(entry.Name);
  EXPECT_EQ(back, read);
}

TEST_F(CatalogueTest, ProgramIniFileCanBeNamedByTheEnvironment) {
  SetEnv(ProgramIniVariable, Path("named.ini"));
  EXPECT_EQ(ProgramIniFile(), Path("named.ini"));
  UnsetEnv(ProgramIniVariable);
  const std::string ini = ProgramIniFile();
  EXPECT_EQ(platform::ExtractFileName(ini), "tesmar.ini");
  EXPECT_EQ(platform::ExtractFileDir(ini), ProgramSettingsDir());
  EXPECT_EQ(ProgramOptionsListFile(), PathJoin(ProgramSettingsDir(), "options.txt"));
}

// An installed program keeps its files per user even where it could write
// beside itself (root, or a prefix owned by the user); a program run from
// where it was built keeps them beside itself. Windows knows no installed
// layout: a program keeps them beside itself wherever it may write there.
TEST_F(CatalogueTest, InstalledProgramsKeepTheirFilesPerUser) {
#ifdef _WIN32
  platform::ForceDirectories(Path("prefix/bin"));
  platform::ForceDirectories(Path("prefix/share/tesmar"));
  EXPECT_EQ(ProgramSettingsDirOf(Path("prefix/bin")), Path("prefix/bin"));
  EXPECT_EQ(ProgramSettingsDirOf(Path("nowhere/bin")), platform::UserConfigDir());
  EXPECT_NE(platform::UserConfigDir(), "");
#else
  SetEnv("XDG_CONFIG_HOME", Path("config"));
  struct TCase {
    const char* ProgramDir;
    std::vector<const char*> MoreDirs;
    bool PerUser;
  };
  const TCase cases[] = {
      {"prefix/bin", {"prefix/share/tesmar"}, true},
      {"build/bin", {}, false},
      {"build/bin", {"build/share"}, false},        // a share without tesmar
      {"opt/tesmar", {"opt/share/tesmar"}, false},  // not a bin directory
      {"usr/local/bin", {"usr/local/share/tesmar/manual"}, true},
  };
  for (const TCase& c : cases) {
    const std::string root = Path(std::to_string(&c - cases));
    platform::ForceDirectories(root + "/" + c.ProgramDir);
    for (const char* dir : c.MoreDirs) platform::ForceDirectories(root + "/" + dir);
    const std::string programDir = root + "/" + c.ProgramDir;
    EXPECT_EQ(ProgramSettingsDirOf(programDir), c.PerUser ? Path("config/tesmar") : programDir) << c.ProgramDir;
  }
  UnsetEnv("XDG_CONFIG_HOME");
#endif
}

// The program's own settings share the file with the catalogue, which they
// leave alone; a value reads back as written, whatever quotes it holds.
TEST_F(CatalogueTest, ProgramSettingsKeepTheirValuesBesideTheCatalogue) {
  WriteBytes("tesmar.ini", CrLf({"[Projects]", "Alpha=/p/Alpha"}));
  EXPECT_EQ(ReadProgramSetting(Path("tesmar.ini"), EditorKey), "");
  for (const std::string value : {"\"/opt/my editor/ed\" -g \"#File#:#Line#\"", "'x'", "ed +#Line# #File#", ""}) {
    WriteProgramSetting(Path("tesmar.ini"), EditorKey, value);
    EXPECT_EQ(ReadProgramSetting(Path("tesmar.ini"), EditorKey), value);
  }
  WriteProgramSetting(Path("tesmar.ini"), ToolTimeoutKey, "30");
  EXPECT_EQ(ReadBytes("tesmar.ini"), CrLf({"[Projects]", "Alpha=/p/Alpha", "[Program]", "Editor=", "ToolTimeout=30"}));
  EXPECT_EQ(ReadCatalogue(Path("tesmar.ini")).size(), 1u);
  EXPECT_EQ(ReadProgramSetting(Path("none/tesmar.ini"), ToolTimeoutKey), "");
}
