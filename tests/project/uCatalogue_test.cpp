#include "project/uCatalogue.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "project/uGlobalConstants.h"
#include "support/TestDir.h"

class CatalogueTest : public TTestDir {};

TEST_F(CatalogueTest, ReadsProjectsInFileOrderDroppingEmptyAndRepeatedKeys) {
  WriteBytes("tesmar.ini",
             CrLf({"[Other]", "Gamma=/elsewhere", "[projects]", "Alpha=/p/Alpha", "Empty=", "Beta = /p/Beta ",
                   "alpha=/p/Second", "; Delta=/p/Delta", "[Projects]", "Gamma=/p/Gamma"}));
  const TCatalogue catalogue = ReadCatalogue(Path("tesmar.ini"));
  ASSERT_EQ(catalogue.size(), 3u);
  EXPECT_EQ(catalogue[0].Line(), "Alpha=/p/Alpha");
  EXPECT_EQ(catalogue[1].Line(), "Beta=/p/Beta");
  EXPECT_EQ(catalogue[2].Line(), "Gamma=/p/Gamma");
}

TEST_F(CatalogueTest, MissingFileOrSectionIsAnEmptyCatalogue) {
  EXPECT_TRUE(ReadCatalogue(Path("none.ini")).empty());
  WriteBytes("other.ini", CrLf({"[Settings]", "A=1"}));
  EXPECT_TRUE(ReadCatalogue(Path("other.ini")).empty());
}

TEST_F(CatalogueTest, BinaryFileIsRefusedWithAMessage) {
  WriteBytes("tesmar.ini", std::string("MZ\0\0\x01\x02", 6) + std::string(4096, '\0'));
  EXPECT_THROW(ReadCatalogue(Path("tesmar.ini")), TError);
}

TEST(CatalogueMatch, FirstLineContainingTheArgumentWithCase) {
  const TCatalogue catalogue = {{"Alpha", "/P/Alpha"}, {"Beta", "/P/Beta"}, {"AlphaTwo", "/Q/a2"}};
  EXPECT_EQ(FindCatalogueEntry(catalogue, "Beta"), 1);
  EXPECT_EQ(FindCatalogueEntry(catalogue, "Alpha"), 0);  // the first of two that hold it
  EXPECT_EQ(FindCatalogueEntry(catalogue, "P/"), 0);     // part of a directory
  EXPECT_EQ(FindCatalogueEntry(catalogue, "Q/a"), 2);
  EXPECT_EQ(FindCatalogueEntry(catalogue, "a=/P/B"), 1);  // across the equals sign: the line is name=directory
  EXPECT_EQ(FindCatalogueEntry(catalogue, "a=/Q"), -1);
  EXPECT_EQ(FindCatalogueEntry(catalogue, "beta"), -1);  // letter case counts
  EXPECT_EQ(FindCatalogueEntry(catalogue, "Gamma"), -1);
  EXPECT_EQ(FindCatalogueEntry(catalogue, ""), -1);
  EXPECT_EQ(FindCatalogueEntry({}, "Alpha"), -1);
}

TEST_F(CatalogueTest, AddingKeepsOtherLinesAndReplacesANameInPlace) {
  WriteBytes("tesmar.ini", CrLf({"; my projects", "[Projects]", "Alpha=/p/Alpha", "Beta=/p/Beta", "[Window]", "X=1"}));
  AddCatalogueEntry(Path("tesmar.ini"), "Gamma", "/p/Gamma");
  AddCatalogueEntry(Path("tesmar.ini"), "alpha", "/p/NewAlpha");
  EXPECT_EQ(ReadBytes("tesmar.ini"), CrLf({"; my projects", "[Projects]", "Alpha=/p/NewAlpha", "Beta=/p/Beta",
                                           "Gamma=/p/Gamma", "[Window]", "X=1"}));
}

TEST_F(CatalogueTest, AddingCreatesTheFileAndItsDirectory) {
  const std::string ini = Path("config/tesmar/tesmar.ini");
  AddCatalogueEntry(ini, "Suite", "/projects/Suite");
  const TCatalogue catalogue = ReadCatalogue(ini);
  ASSERT_EQ(catalogue.size(), 1u);
  EXPECT_EQ(catalogue[0].Line(), "Suite=/projects/Suite");
}

TEST_F(CatalogueTest, AddingToAReadOnlyFileFailsWithAMessage) {
  WriteBytes("tesmar.ini", CrLf({"[Projects]", "Alpha=/p/Alpha"}));
  platform::SetReadOnly(Path("tesmar.ini"), true);
  EXPECT_THROW(AddCatalogueEntry(Path("tesmar.ini"), "Beta", "/p/Beta"), TError);
  EXPECT_EQ(ReadCatalogue(Path("tesmar.ini")).size(), 1u);
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
