#include "project/uFileSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "ide/IDELibPath.h"
#include "platform/ProfileCache.h"
#include "project/uPersistence.h"
#include "support/TestDir.h"

namespace {

class FileSettingsTest : public TTestDir {
 protected:
  void SetUp() override {
    TTestDir::SetUp();
    SetEnv("WINEPREFIX", Path("no-wine"));
    Persistence().MasterCopyDirs = {Path("masters")};
    Persistence().LibraryPathPrompt = &Prompt;
    Persistence().OnError = [this](const std::string& m) { Reports.push_back(m); };
    Persistence().ReplaceReadOnly = false;
    Persistence().IgnoreResFileErrors = false;
    platform::ForgetSharedProfiles();
    Project = Path("proj");
  }
  void TearDown() override {
    Persistence().OnError = nullptr;
    Persistence().LibraryPathPrompt = nullptr;
    TTestDir::TearDown();
  }

  TFixedLibraryPathPrompt Prompt{std::string("5")};
  std::vector<std::string> Reports;
  std::string Project;
};

std::string Switches(const std::string& path) {
  return "-U\"" + path + "\"\r\n-I\"" + path + "\"\r\n-R\"" + path + "\"\r\n-O\"" + path + "\"\r\n";
}

TEST(PathSwitchesTest, ShortPathsGiveFourLinesLongOnesAreChunkedAtSemicolons) {
  EXPECT_EQ(PathSwitches("C:\\a\r\nC:\\b\r\n"), Switches("C:\\a;C:\\b;"));
  EXPECT_EQ(PathSwitches(""), Switches(""));

  // 1022 characters joined: one set of four lines.
  std::string dir(99, 'd');
  std::string text;
  while (text.size() + dir.size() + 2 <= 1020) text += dir + "\r\n";
  std::string s;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      s += ';';
      ++i;
    } else {
      s += text[i];
    }
  }
  std::string pad(1022 - s.size(), 'p');
  EXPECT_EQ(PathSwitches(text + pad), Switches(s + pad));

  // 1023 characters: cut at the last ';' of the first 1000.
  const std::string longer = text + pad + "q";
  const std::string result = PathSwitches(longer);
  EXPECT_GE(std::count(result.begin(), result.end(), '\n'), 8);
  const std::size_t cut = s.substr(0, 1000).rfind(';');
  EXPECT_EQ(result.substr(0, 4 + cut), "-U\"" + s.substr(0, cut) + "\"");
  EXPECT_EQ(result.substr(result.size() - (pad.size() + 7)), "-O\"" + pad + "q\"\r\n");
}

TEST(PathSwitchesTest, ADirectoryWithoutSemicolonIsCutAtOneThousandAndNothingIsLost) {
  const std::string huge(2500, 'z');
  const std::string result = PathSwitches(huge + "\r\nC:\\next\r\n");
  EXPECT_NE(result.find("-U\"" + std::string(1000, 'z') + "\"\r\n"), std::string::npos);
  EXPECT_NE(result.find("-O\"" + std::string(500, 'z') + ";C:\\next\"\r\n"), std::string::npos);
  std::size_t xs = 0;
  for (std::size_t pos = 0; (pos = result.find("-U\"", pos)) != std::string::npos; ++pos) {
    const std::size_t end = result.find('"', pos + 3);
    const std::string chunk = result.substr(pos + 3, end - pos - 3);
    xs += static_cast<std::size_t>(std::count(chunk.begin(), chunk.end(), 'z'));
  }
  EXPECT_EQ(xs, 2500u);

  // A path far beyond 20000 characters keeps every directory.
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "/lib/dir" + std::to_string(i) + "\r\n";
  EXPECT_NE(PathSwitches(many).find("/lib/dir2999\""), std::string::npos);
}

TEST_F(FileSettingsTest, LoadEditAndSaveOneSourcesSettings) {
  WriteBytes("proj/Files.ini", "[options]\r\n[" + Path("src/App.dpr") + "]\r\nRCMask=\r\nLocalVerInfo=\r\n");
  WriteBytes("src/App.dpr", "program App;\r\nbegin\r\nend.\r\n");
  ASSERT_TRUE(Persistence().SetupProjectDir(Project));
  TProjectList list(Project);
  list.AddFileLine(Path("out/App.EXE") + "=" + Path("src/App.dpr"));
  TProjectSettings& s = *list.SettingsAt(0);
  EXPECT_EQ(s.GetTargetType(), ttEXE);
  EXPECT_EQ(s.GetSettingContent(stConfigFile), CrLf({"-W+", "-B", "-$M16384,1048576", "-K$00400000", ""}));
  EXPECT_EQ(s.GetSettingPath(stRCMask), Path("proj/Default.mask"));
  EXPECT_EQ(s.GetSettingPath(stLocalVerInfo), Path("proj/Default.ver"));
  EXPECT_EQ(s.GetSettingPath(stConfigWithPath), Path("src/App.cfg"));
  EXPECT_EQ(s.GetSettingContent(stSourceFile), "program App;\r\nbegin\r\nend.\r\n");
  EXPECT_EQ(s.GetSettingContent(stDestFile), "");  // no target yet

  // The configuration file: the options followed by the switches of the path.
  s.SetSettingContent(stLibraryPath, "/lib/a\r\n/lib/b\r\n");
  s.SetSettingContent(stConfigWithPath, "ignored");
  EXPECT_EQ(s.GetSettingContent(stConfigWithPath),
            CrLf({"-W+", "-B", "-$M16384,1048576", "-K$00400000", ""}) + Switches("/lib/a;/lib/b;"));
  s.SetSettingContent(stConfigFile, "-B");  // no line break: runs into the first switch
  EXPECT_EQ(s.GetSettingContent(stConfigWithPath).substr(0, 6), "-B-U\"/");

  // Emptying a setting and saving it leaves only its backup.
  s.SetSettingPath(stPreProcessing, Path("src/App.before"));
  WriteBytes("src/App.before", "echo\r\n");
  s.SetSettingContent(stPreProcessing, "");
  s.SaveSettingFile(stPreProcessing);
  EXPECT_FALSE(Exists("src/App.before"));
  EXPECT_TRUE(Exists("src/App.~before"));
  // A setting whose file never existed: nothing to back up, nothing written.
  s.SetSettingPath(stPostProcessing, Path("src/App.after"));
  s.SetSettingContent(stPostProcessing, "");
  s.SaveSettingFile(stPostProcessing);
  EXPECT_FALSE(Exists("src/App.after"));
  EXPECT_FALSE(Exists("src/App.~after"));

  s.SetSettingContent(stDPKConfig, "$X ON");
  s.SaveSettingFile(stDPKConfig);
  EXPECT_EQ(ReadBytes("proj/Default.DPKConfig"), "$X ON\r\n");
  s.SetSettingContent(stDPKConfig, "");
  s.ReloadSetting(stDPKConfig);
  EXPECT_EQ(s.GetSettingContent(stDPKConfig), "$X ON\r\n");
  EXPECT_TRUE(Reports.empty());
}

TEST_F(FileSettingsTest, EmptyPathReadsTheStoredNamesAgain) {
  WriteBytes("proj/Files.ini", "[/s/A.dpr]\r\nRCMask=/m/stored.mask\r\n");
  ASSERT_TRUE(Persistence().SetupProjectDir(Project));
  TProjectSettings s(nullptr, "/o/A.EXE", "/s/A.dpr", Project);
  s.SetSettingPath(stConfigFile, "/unsaved.config");
  EXPECT_EQ(s.GetSettingPath(stRCMask), "/m/stored.mask");
  EXPECT_EQ(s.GetSettingPath(stConfigFile), Path("proj/Default.config"));  // the unsaved name is gone
  s.SetSettingPath(stRCMask, "");
  EXPECT_EQ(s.Paths[stRCMask], Path("proj/Default.mask"));
}

TEST_F(FileSettingsTest, VersionSummaryMergesGroupAndLocal) {
  TProjectSettings s(nullptr, "/o/A.EXE", Path("A.dpr"), Project);
  s.Memory[stGroupVerInfo] = CrLf(
      {"[version]", "Major=1", "Minor=0", "Release=2", "Build=0", "Company=Group Co", "ProductMajor=", "Comments=0"});
  s.Memory[stLocalVerInfo] =
      CrLf({"[Version]", "Build=17", "Major=9", "Company=Local Co", "Minor=4", "Comments=local", "minor=5"});
  EXPECT_EQ(s.VersionSummary(), CrLf({"File Version = 1.4.2.17", "Product Version = ...",
                                      "Appid = ", "Description = ", "Company = Group Co", "Comments = local",
                                      "InternalName = ", "LegalCopyright = ", "LegalTrademarks = ", "ProductName = ",
                                      "OriginalFilename = ", "IconFileName = "}));
  s.Memory[stGroupVerInfo] = CrLf({"[version]", "Build=5"});
  EXPECT_EQ(s.VersionSummary().substr(0, 26), "File Version = ...5\r\nProdu");
  s.Memory[stGroupVerInfo] = "";
  EXPECT_EQ(s.VersionSummary(), "");
}

TEST_F(FileSettingsTest, LibrarySummaryWarnsUnlessTheSourceLinksItsResources) {
  WriteBytes("Lib.dpr", "library Lib;\r\nbegin\r\nend.\r\n");
  TProjectSettings s(nullptr, "/o/Lib.DLL", Path("Lib.dpr"), Project);
  s.SetTargetType(ttDLL);
  s.Memory[stGroupVerInfo] = CrLf({"[version]", "Major=1"});
  const std::string warning =
      "Version information will not appear in this .dll\r\nunless the line\r\n{$R *.RES}\r\nis added to the "
      "implementation section\r\n";
  EXPECT_EQ(s.VersionSummary().substr(0, warning.size()), warning);
  WriteBytes("Lib.dpr", "library Lib;\r\n{$R *.RES}\r\nbegin\r\nend.\r\n");
  EXPECT_EQ(s.VersionSummary().substr(0, 20), "File Version = 1...\r");
  WriteBytes("Lib.dpr", "library Lib;\r\n{$r *.res}\r\n");  // the test is case-sensitive
  EXPECT_EQ(s.VersionSummary().substr(0, warning.size()), warning);
}

TEST_F(FileSettingsTest, TargetSummaryShowsRecordsWithGroupingAndTheVersionStrings) {
  WriteBytes("out/App.EXE", std::string(1000000, 'x'));
  std::filesystem::last_write_time(Path("out/App.EXE"),
                                   std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  TProjectSettings s(nullptr, Path("out/App.EXE"), Path("App.dpr"), Project);
  const std::string text = s.GetSettingContent(stDestFile);
  const std::vector<std::string> lines = [&] {
    std::vector<std::string> out;
    std::size_t start = 0, end;
    while ((end = text.find("\r\n", start)) != std::string::npos) {
      out.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return out;
  }();
  ASSERT_EQ(lines.size(), 13u) << text;
  EXPECT_EQ(lines[0], "Will replace " + Path("out/App.EXE"));
  EXPECT_EQ(lines[1].substr(0, 12), "File date = ");
  EXPECT_EQ(lines[1].size(), 12u + 17u);  // dd mmm yyyy hh:mm
  EXPECT_EQ(lines[2], "File size =        7,812");
  EXPECT_EQ(lines[3], "FileVersion = ");
  EXPECT_EQ(lines[12], "OriginalFilename = ");
}

TEST_F(FileSettingsTest, ListOwnershipAndLookups) {
  ASSERT_TRUE(Persistence().SetupProjectDir(Project));
  TProjectList list(Project);
  list.AddFileLine("/out/App.EXE=/src/App.dpr");
  list.AddFileLine("/OUT/app.exe=/SRC/app.dpr");  // the same line in other letter case
  list.AddFileLine("/out/App.RES=/src/App.rc");
  list.AddFileLine("/out/Tool.EXE=/src/" + std::string(300, 't') + ".dpr");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.SettingsAt(2)->GetSourceFile(), "/src/" + std::string(251, 't'));
  EXPECT_EQ(list.Strings(2).size(), 323u);
  EXPECT_EQ(list.Text(), "/out/App.EXE=/src/App.dpr\r\n/out/App.RES=/src/App.rc\r\n" + list.Strings(2) + "\r\n");
  EXPECT_EQ(list.SettingsAt(1)->GetTargetType(), ttRC);

  EXPECT_EQ(list.FindSource("/SRC/APP.DPR"), 0);
  EXPECT_EQ(list.FindSource("/src/Other.dpr"), -1);
  EXPECT_EQ(list.IndexOfSource("/src/App.rc"), 0);  // only the name without extension is matched
  EXPECT_EQ(list.SettingsOf("/src/App.dpr"), list.SettingsAt(0));
  try {
    list.IndexOfSource("/SRC/App.dpr");
    FAIL() << "a source in other letter case is not found";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()), "/SRC/App.dpr does not exist in this project list: " + Project);
  }
  EXPECT_THROW(list.SettingsAt(-1), std::exception);

  list.SetDestFile(0, "/out2/App.EXE");
  EXPECT_EQ(list.Strings(0), "/out2/App.EXE=/src/App.dpr");
  EXPECT_EQ(list.SettingsAt(0)->Paths[stDestFile], "/out2/App.EXE");
  EXPECT_EQ(list.DestOf(0), "/out2/App.EXE");

  list.Move(2, 0);
  EXPECT_EQ(list.SourceOf(1), "/src/App.dpr");
  list.Delete(0);
  EXPECT_EQ(list.Count(), 2);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(FileSettingsTest, SourceOfLooksUpByTargetSoEqualTargetsGiveTheFirst) {
  ASSERT_TRUE(Persistence().SetupProjectDir(Project));
  TProjectList list(Project);
  list.AddFileLine("/out/A.EXE=/src/A.dpr");
  list.AddFileLine("/out/a.exe=/src/B.dpr");
  EXPECT_EQ(list.SourceOf(1), "/src/A.dpr");
  EXPECT_EQ(list.SettingsAt(1)->GetSourceFile(), "/src/B.dpr");
}

TEST_F(FileSettingsTest, SharedSettingTextReachesEveryEntryUsingTheFile) {
  ASSERT_TRUE(Persistence().SetupProjectDir(Project));
  TProjectList list(Project);
  list.AddFileLine("/out/A.EXE=/src/A.dpr");
  list.AddFileLine("/out/B.EXE=/src/B.dpr");
  list.SettingsAt(1)->SetSettingPath(stLibraryPath, "/own.path");
  const std::string ownText = list.SettingsAt(1)->GetSettingContent(stLibraryPath);
  list.ShareSettingContent(stConfigFile, Path("proj/Default.config"), "-Q\r\n");
  EXPECT_EQ(list.SettingsAt(0)->GetSettingContent(stConfigFile), "-Q\r\n");
  EXPECT_EQ(list.SettingsAt(1)->GetSettingContent(stConfigFile), "-Q\r\n");
  list.ShareSettingContent(stLibraryPath, Path("proj/Default.path"), "/lib\r\n");
  EXPECT_EQ(list.SettingsAt(0)->GetSettingContent(stLibraryPath), "/lib\r\n");
  EXPECT_EQ(list.SettingsAt(1)->GetSettingContent(stLibraryPath), ownText);
  const std::string before = list.SettingsAt(0)->GetSettingContent(stConfigWithPath);
  list.ShareSettingContent(stConfigWithPath, "/src/A.cfg", "x");
  EXPECT_EQ(list.SettingsAt(0)->GetSettingContent(stConfigWithPath), before);
}

TEST_F(FileSettingsTest, ProjectRoundTripThroughTheStore) {
  WriteBytes("src/A.dpr", "program A;\r\n");
  ASSERT_TRUE(Persistence().SetupProjectDir(Project));
  {
    TProjectList list(Project);
    list.AddFileLine("/out/A.EXE=" + Path("src/A.dpr"));
    list.SettingsAt(0)->SetSettingPath(stGroupVerInfo, Path("group.ver"));
    list.SettingsAt(0)->SetSettingContent(stGroupVerInfo, "[version]\r\nMajor=4\r\n");
    ASSERT_TRUE(Persistence().PrepareFilesIniForSave(Project));
    list.SaveAllSettings();
    ASSERT_TRUE(Persistence().SaveOptions(Project, TProjectOptions{}, ""));
    ASSERT_TRUE(Persistence().SaveFileList(Project, list.Text()));
  }
  std::string text;
  ASSERT_TRUE(Persistence().LoadFileList(Project, text));
  TProjectList list(Project);
  for (const std::string& line : {std::string("/out/A.EXE=") + Path("src/A.dpr")}) list.AddFileLine(line);
  EXPECT_EQ(text, "/out/A.EXE=" + Path("src/A.dpr") + "\r\n");
  EXPECT_EQ(list.SettingsAt(0)->GetSettingPath(stGroupVerInfo), Path("group.ver"));
  EXPECT_EQ(list.SettingsAt(0)->GetSettingContent(stGroupVerInfo), "[version]\r\nMajor=4\r\n");
  EXPECT_TRUE(Reports.empty()) << Reports.front();
}

}  // namespace
