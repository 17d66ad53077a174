#include "project/uFileSettings.h"

#include <filesystem>

#include "project/uPersistence.h"
#include "support/TestProject.h"
#include "support/ToolsTest.h"

namespace {

// A project in proj/ on the shared store.
class FileSettingsTest : public TProjectTest {};

const std::string DefaultConfig = CrLf({"-W+", "-B", "-$M16384,1048576", "-K$00400000", ""});

std::string Switches(const std::string& path) {
  return "-U\"" + path + "\"\r\n-I\"" + path + "\"\r\n-R\"" + path + "\"\r\n-O\"" + path + "\"\r\n";
}

// Up to 1022 characters the path is one set of four lines; beyond, it is cut
// at the last ';' of its first 1000 characters, a directory without one at
// 1000, and nothing is lost however long the path.
TEST(PathSwitchesTest, ShortPathsGiveFourLinesLongOnesAreChunked) {
  EXPECT_EQ(PathSwitches("C:\\a\r\nC:\\b\r\n"), Switches("C:\\a;C:\\b;"));
  EXPECT_EQ(PathSwitches(""), Switches(""));
  std::string text, path;  // ten directories of 99 characters: 1000 characters joined by ';'
  for (int i = 0; i < 10; ++i) {
    const std::string dir = std::to_string(100 + i) + std::string(96, 'd');
    text += dir + "\r\n";
    path += dir + ";";
  }
  const std::string pad(22, 'p');
  EXPECT_EQ(PathSwitches(text + pad), Switches(path + pad));
  EXPECT_EQ(PathSwitches(text + pad + "q"), Switches(path.substr(0, 999)) + Switches(pad + "q"));

  const std::string huge(2500, 'z');
  EXPECT_EQ(PathSwitches(huge + "\r\nC:\\next\r\n"), Switches(huge.substr(0, 1000)) + Switches(huge.substr(0, 1000)) +
                                                         Switches(std::string(500, 'z') + ";C:\\next"));
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "/lib/dir" + std::to_string(i) + "\r\n";
  EXPECT_NE(PathSwitches(many).find("/lib/dir2999\""), std::string::npos);
}

TEST_F(FileSettingsTest, LoadEditAndSaveOneSourcesSettings) {
  WriteBytes("proj/Files.ini", "[options]\r\n[" + Path("src/App.dpr") + "]\r\nRCMask=\r\nLocalVerInfo=\r\n");
  WriteBytes("src/App.dpr", "program App;\r\nbegin\r\nend.\r\n");
  ASSERT_TRUE(Persistence().SetupProjectDir(Project));
  TProjectList list(Project);
  list.AddFileLine(Entry("App.EXE", "App.dpr"));
  TProjectSettings& s = *list.SettingsAt(0);
  EXPECT_EQ(s.GetTargetType(), ttEXE);
  EXPECT_EQ(s.GetSettingContent(stConfigFile), DefaultConfig);
  // RCMask= and LocalVerInfo= with no value give the project's defaults.
  EXPECT_EQ(s.GetSettingPath(stRCMask), Path("proj/Default.mask"));
  EXPECT_EQ(s.GetSettingPath(stLocalVerInfo), Path("proj/Default.ver"));
  EXPECT_EQ(s.GetSettingContent(stSourceFile), "program App;\r\nbegin\r\nend.\r\n");
  EXPECT_EQ(s.GetSettingContent(stDestFile), "");  // no target yet

  // The configuration file: the options followed by the switches of the path.
  s.SetSettingContent(stLibraryPath, "/lib/a\r\n/lib/b\r\n");
  s.SetSettingContent(stConfigWithPath, "ignored");
  EXPECT_EQ(s.GetSettingContent(stConfigWithPath), DefaultConfig + Switches("/lib/a;/lib/b;"));
  s.SetSettingContent(stConfigFile, "-B");  // no line break: runs into the first switch
  EXPECT_EQ(s.GetSettingContent(stConfigWithPath).substr(0, 6), "-B-U\"/");

  // Emptying a setting and saving it leaves only its backup; a setting whose
  // file never existed has nothing to back up and writes nothing.
  s.SetSettingPath(stPreProcessing, Path("src/App.before"));
  WriteBytes("src/App.before", "echo\r\n");
  s.SetSettingContent(stPreProcessing, "");
  s.SaveSettingFile(stPreProcessing);
  s.SetSettingPath(stPostProcessing, Path("src/App.after"));
  s.SetSettingContent(stPostProcessing, "");
  s.SaveSettingFile(stPostProcessing);
  EXPECT_EQ(Listing("src"), (std::vector<std::string>{"App.dpr", "App.~before"}));

  s.SetSettingContent(stDPKConfig, "$X ON");
  s.SaveSettingFile(stDPKConfig);
  EXPECT_EQ(ReadBytes("proj/Default.DPKConfig"), "$X ON\r\n");
  s.SetSettingContent(stDPKConfig, "");
  s.ReloadSetting(stDPKConfig);
  EXPECT_EQ(s.GetSettingContent(stDPKConfig), "$X ON\r\n");
  EXPECT_TRUE(Reports.empty());
}

// A name not known yet reads every stored name again (an unsaved one goes);
// an empty name set is the project's default.
TEST_F(FileSettingsTest, EmptyPathReadsTheStoredNamesAgain) {
  WriteBytes("proj/Files.ini", "[/s/A.dpr]\r\nRCMask=/m/stored.mask\r\n");
  ASSERT_TRUE(Persistence().SetupProjectDir(Project));
  TProjectSettings s(nullptr, "/o/A.EXE", "/s/A.dpr", Project);
  s.SetSettingPath(stConfigFile, "/unsaved.config");
  EXPECT_EQ(s.GetSettingPath(stRCMask), "/m/stored.mask");
  EXPECT_EQ(s.GetSettingPath(stConfigFile), Path("proj/Default.config"));
  s.SetSettingPath(stRCMask, "");
  EXPECT_EQ(s.Paths[stRCMask], Path("proj/Default.mask"));
}

TEST_F(FileSettingsTest, VersionSummaryMergesGroupAndLocal) {
  TProjectSettings s(nullptr, "/o/A.EXE", Path("A.dpr"), Project);
  s.Memory.Set(stGroupVerInfo, CrLf({"[version]", "Major=1", "Minor=0", "Release=2", "Build=0", "Company=Group Co",
                                     "ProductMajor=", "Comments=0"}));
  s.Memory.Set(stLocalVerInfo,
               CrLf({"[Version]", "Build=17", "Major=9", "Company=Local Co", "Minor=4", "Comments=local", "minor=5"}));
  EXPECT_EQ(s.VersionSummary(), CrLf({"File Version = 1.4.2.17", "Product Version = ...",
                                      "Appid = ", "Description = ", "Company = Group Co", "Comments = local",
                                      "InternalName = ", "LegalCopyright = ", "LegalTrademarks = ", "ProductName = ",
                                      "OriginalFilename = ", "IconFileName = "}));
  s.Memory.Set(stGroupVerInfo, CrLf({"[version]", "Build=5"}));
  EXPECT_EQ(s.VersionSummary().substr(0, 26), "File Version = ...5\r\nProdu");
  s.Memory.Set(stGroupVerInfo, "");
  EXPECT_EQ(s.VersionSummary(), "");

  // A library warns unless its source links its resources (with that case).
  const std::string warning =
      "Version information will not appear in this .dll\r\nunless the line\r\n{$R *.RES}\r\nis added to the "
      "implementation section\r\n";
  TProjectSettings lib(nullptr, "/o/Lib.DLL", Path("Lib.dpr"), Project);
  lib.Memory.Set(stGroupVerInfo, CrLf({"[version]", "Major=1"}));
  for (const auto& [source, warns] :
       std::vector<std::pair<std::string, bool>>{{"library Lib;\r\nbegin\r\nend.\r\n", true},
                                                 {"library Lib;\r\n{$R *.RES}\r\nbegin\r\nend.\r\n", false},
                                                 {"library Lib;\r\n{$r *.res}\r\n", true}}) {
    WriteBytes("Lib.dpr", source);
    EXPECT_EQ(lib.VersionSummary().substr(0, warning.size()) == warning, warns) << source;
    EXPECT_NE(lib.VersionSummary().find("File Version = 1...\r\n"), std::string::npos);
  }
}

TEST_F(FileSettingsTest, TargetSummaryShowsRecordsWithGroupingAndTheVersionStrings) {
  WriteBytes("out/App.EXE", std::string(1000000, 'x'));
  std::filesystem::last_write_time(Path("out/App.EXE"),
                                   std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  TProjectSettings s(nullptr, Path("out/App.EXE"), Path("App.dpr"), Project);
  const std::vector<std::string> lines = CrLfLines(s.GetSettingContent(stDestFile));
  ASSERT_EQ(lines.size(), 13u);
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
  list.AddFileLine("/out/app.exe=/src/B.dpr");  // an equal target
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.SettingsAt(2)->GetSourceFile(), "/src/" + std::string(251, 't'));
  EXPECT_EQ(list.Strings(2).size(), 323u);
  EXPECT_EQ(list.SettingsAt(1)->GetTargetType(), ttRC);
  // A source is looked up by its target, so equal targets give the first.
  EXPECT_EQ(list.SourceOf(3), "/src/App.dpr");
  EXPECT_EQ(list.SettingsAt(3)->GetSourceFile(), "/src/B.dpr");

  EXPECT_EQ(list.FindSource("/SRC/APP.DPR"), 0);
  EXPECT_EQ(list.FindSource("/src/Other.dpr"), -1);
  EXPECT_EQ(list.IndexOfSource("/src/App.rc"), 0);  // only the name without extension is matched
  EXPECT_EQ(list.SettingsOf("/src/App.dpr"), list.SettingsAt(0));
  EXPECT_EQ(ErrorText([&] { list.IndexOfSource("/SRC/App.dpr"); }),  // another letter case
            "/SRC/App.dpr does not exist in this project list: " + Project);
  EXPECT_THROW(list.SettingsAt(-1), std::exception);

  list.SetDestFile(0, "/out2/App.EXE");
  EXPECT_EQ(list.Strings(0), "/out2/App.EXE=/src/App.dpr");
  EXPECT_EQ(list.SettingsAt(0)->Paths[stDestFile], "/out2/App.EXE");
  EXPECT_EQ(list.DestOf(0), "/out2/App.EXE");
  EXPECT_EQ(list.SourceOf(3), "/src/B.dpr");  // now the first of its target
  list.Move(2, 0);
  EXPECT_EQ(list.SourceOf(1), "/src/App.dpr");
  list.Delete(0);
  EXPECT_EQ(list.SourceOf(2), "/src/B.dpr");
  EXPECT_EQ(list.Text(), "/out2/App.EXE=/src/App.dpr\r\n/out/App.RES=/src/App.rc\r\n/out/app.exe=/src/B.dpr\r\n");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

// A text shared by file name reaches every entry using that file; the
// configuration beside a source has no text of its own to share.
TEST_F(FileSettingsTest, SharedSettingTextReachesEveryEntryUsingTheFile) {
  ASSERT_TRUE(Persistence().SetupProjectDir(Project));
  TProjectList list(Project);
  list.AddFileLine("/out/A.EXE=/src/A.dpr");
  list.AddFileLine("/out/B.EXE=/src/B.dpr");
  list.SettingsAt(1)->SetSettingPath(stLibraryPath, "/own.path");
  const std::string ownText = list.SettingsAt(1)->GetSettingContent(stLibraryPath);
  list.ShareSettingContent(stConfigFile, Path("proj/Default.config"), "-Q\r\n");
  list.ShareSettingContent(stLibraryPath, Path("proj/Default.path"), "/lib\r\n");
  EXPECT_EQ(list.SettingsAt(0)->GetSettingContent(stConfigFile), "-Q\r\n");
  EXPECT_EQ(list.SettingsAt(1)->GetSettingContent(stConfigFile), "-Q\r\n");
  EXPECT_EQ(list.SettingsAt(0)->GetSettingContent(stLibraryPath), "/lib\r\n");
  EXPECT_EQ(list.SettingsAt(1)->GetSettingContent(stLibraryPath), ownText);
  const std::string before = list.SettingsAt(0)->GetSettingContent(stConfigWithPath);
  list.ShareSettingContent(stConfigWithPath, "/src/A.cfg", "x");
  EXPECT_EQ(list.SettingsAt(0)->GetSettingContent(stConfigWithPath), before);
}

}  // namespace
