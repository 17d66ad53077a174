#include "project/uPersistence.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/ProfileCache.h"
#include "support/Faults.h"
#include "support/TestProject.h"

namespace {

// A store of the test's own on a project in proj/ (no Delphi installed: an
// empty library path), reporting into Reports as the shared one does.
class PersistenceTest : public TProjectTest {
 protected:
  void SetUp() override {
    TProjectTest::SetUp();
    Store.MasterCopyDirs = {Path("masters")};
    Store.LibraryPathPrompt = &Prompt;
    Store.OnError = [this](const std::string& m) { Reports.push_back(m); };
  }

  TPersistenceObject Store;
};

// The built-in defaults, the documented ones as documented; a default file
// deleted later comes back at the next load.
TEST_F(PersistenceTest, NewDirectoryGetsTheEightBuiltInFiles) {
  ASSERT_TRUE(Store.SetupProjectDir(Project));
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(platform::GetCurrentDir(), Project);
  EXPECT_EQ(Store.ProjectPath, Project);
  EXPECT_EQ(ReadBytes("proj/Files.ini"),
            CrLf({"[options]", "CheckVersion=1", "MinimizeOnBuild=0", "AutoResFileCreate=1", "AutoFileIncrement=1",
                  "AutoProdIncrement=0", "DisplayMsgOnDone=0", "ReplaceReadOnlyCFGRESVER=0", "HaltOnError=1"}));
  EXPECT_EQ(ReadBytes("proj/Default.config"), CrLf({"-W+", "-B", "-$M16384,1048576", "-K$00400000", ""}));
  EXPECT_EQ(ReadBytes("proj/Default.before"), "none\r\n");
  EXPECT_EQ(ReadBytes("proj/Default.after"), "none\r\n");
  EXPECT_EQ(ReadBytes("proj/Default.path"), " \r\n");  // no IDE: no directories, then the blank line
  const std::string ver = ReadBytes("proj/Default.ver");
  EXPECT_EQ(ver.substr(0, 20), "[version]\r\nMajor=0\r\n");
  EXPECT_EQ(ver.substr(ver.size() - 18), "ProductBuild=0\r\n\r\n");
  for (const char* file : {"Default.DPKConfig", "Default.mask"})
    EXPECT_EQ(ReadBytes("proj/" + std::string(file)), CrLf(BuiltInDefaultContent(file))) << file;
  EXPECT_EQ(Prompt.Proposals, std::vector<std::string>{"5"});

  std::filesystem::remove(Path("proj/Default.before"));
  std::string text;
  ASSERT_TRUE(Store.LoadFileList(Project, text));
  EXPECT_EQ(ReadBytes("proj/Default.before"), "none\r\n");
}

TEST_F(PersistenceTest, MasterCopiesWinAndExistingFilesAreNeverTouched) {
  WriteBytes("masters/Default.Files", "[options]\nHaltOnError=0\n");
  WriteBytes("masters/Default.path", "/lib/a\r/lib/b");
  WriteBytes("proj/Default.mask", "my own mask");
  ASSERT_TRUE(Store.SetupProjectDir(Project));
  EXPECT_EQ(ReadBytes("proj/Files.ini"), "[options]\r\nHaltOnError=0\r\n");
  EXPECT_EQ(ReadBytes("proj/Default.path"), "/lib/a\r\n/lib/b\r\n");
  EXPECT_EQ(ReadBytes("proj/Default.mask"), "my own mask");
  EXPECT_TRUE(Prompt.Proposals.empty());  // the master copy spared the question
}

TEST_F(PersistenceTest, CancelledVersionPromptStopsTheSetUpAndAsksAgainNextTime) {
  Prompt.Answer.reset();
  EXPECT_FALSE(Store.SetupProjectDir(Project));
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0].rfind("Could not set up storage area for " + Project + ": ", 0), 0u) << Reports[0];
  EXPECT_EQ(Store.LastError, Reports[0]);
  EXPECT_TRUE(Exists("proj/Files.ini"));
  EXPECT_TRUE(Exists("proj/Default.config"));
  EXPECT_FALSE(Exists("proj/Default.path"));
  EXPECT_FALSE(Exists("proj/Default.ver"));
  EXPECT_FALSE(Store.SetupProjectDir(Project));
  EXPECT_EQ(Prompt.Proposals.size(), 2u);
}

#ifndef _WIN32
// A new project's first load killed while it writes a default file leaves
// that file out rather than empty (an empty Default.mask would fail every
// build): the next load writes it whole and takes away what the kill left.
TEST_F(PersistenceTest, AKillDuringTheFirstLoadLeavesNoEmptyDefaultFile) {
  for (const char* file : {"Files.ini", "Default.mask"}) {
    std::filesystem::remove_all(Project);
    ASSERT_TRUE(KilledWhileWriting([&] { Store.SetupProjectDir(Project); }, file, platform::TWriteStage::wsOpened));
    EXPECT_FALSE(Exists("proj/" + std::string(file)));
    EXPECT_EQ(LeftoversOf(Project, file), 1);
    ASSERT_TRUE(Store.SetupProjectDir(Project));
    EXPECT_EQ(ReadBytes("proj/Default.mask"), CrLf(BuiltInDefaultContent("Default.mask")));
    EXPECT_EQ(ReadBytes("proj/Files.ini"), CrLf(BuiltInDefaultContent("Files.ini")));
    EXPECT_EQ(LeftoversOf(Project, file), 0);
  }
}
#endif

TEST_F(PersistenceTest, OptionDefaultsAndParsing) {
  WriteBytes("proj/Files.ini", "[options]\r\n");
  ASSERT_TRUE(Store.SetupProjectDir(Project));
  TProjectOptions options;
  options[poReplaceReadOnly] = true;
  std::string dcc = "old";
  ASSERT_TRUE(Store.LoadOptions(Project, options, dcc));
  const std::array<bool, 9> expected{false, false, false, true, true, false, true, true, false};
  EXPECT_EQ(options.Flags, expected);  // flag 6 is left as it was
  EXPECT_EQ(dcc, "");

  WriteBytes("proj/Files.ini",
             "[OPTIONS]\r\nhaltonerror=yes\r\nCheckVersion=0\r\nMinimizeOnBuild=2\r\n"
             "ReplaceReadOnlyCFGRESVER=1\r\nDCCPath= /opt/delphi/bin \r\n");
  platform::ForgetSharedProfiles();
  options = TProjectOptions{};
  ASSERT_TRUE(Store.LoadOptions(Project, options, dcc));
  EXPECT_TRUE(options.HaltOnError());  // not an integer: the default
  EXPECT_FALSE(options.CheckVersion());
  EXPECT_TRUE(options.MinimizeOnBuild());      // any integer but 0
  EXPECT_TRUE(options.IgnoreResFileErrors());  // stored under ReplaceReadOnlyCFGRESVER
  EXPECT_FALSE(options.ReplaceReadOnly());
  EXPECT_EQ(dcc, "/opt/delphi/bin");

  // Without Files.ini the options keep their values.
  std::filesystem::remove(Path("proj/Files.ini"));
  EXPECT_FALSE(Store.LoadOptions(Project, options, dcc));
  EXPECT_EQ(Store.LastError, "Could not find " + Path("proj/Files.ini"));
  EXPECT_TRUE(options.MinimizeOnBuild());
  EXPECT_EQ(dcc, "/opt/delphi/bin");
}

TEST_F(PersistenceTest, FileListLoadSkipsEmptySourcesAndSaveKeepsTheFirstOfEqualTargets) {
  WriteBytes("proj/Files.ini", "[FileList]\r\n/out/A.EXE=/src/A.dpr\r\n/out/B.EXE=\r\n/out/C.DLL=/src/C.dpr\r\n");
  std::string text = "unchanged";
  ASSERT_TRUE(Store.LoadFileList(Project, text));
  EXPECT_EQ(text, "/out/A.EXE=/src/A.dpr\r\n/out/C.DLL=/src/C.dpr\r\n");

  ASSERT_TRUE(Store.SaveFileList(Project, "/out/X.EXE=/src/X.dpr\r\n/out/x.exe=/src/Y.dpr\r\n/out/Z.EXE=/src/Z.dpr"));
  ASSERT_TRUE(Store.LoadFileList(Project, text));
  EXPECT_EQ(text, "/out/X.EXE=/src/X.dpr\r\n/out/Z.EXE=/src/Z.dpr\r\n");
}

TEST_F(PersistenceTest, ReadOnlyFilesIniStopsTheSaveBeforeAnythingIsWritten) {
  ASSERT_TRUE(Store.SetupProjectDir(Project));
  WriteBytes("proj/Files.~ni", "old backup");
  const std::string before = ReadBytes("proj/Files.ini");
  platform::SetReadOnly(Path("proj/Files.ini"), true);
  EXPECT_FALSE(Store.PrepareFilesIniForSave(Project));
  EXPECT_EQ(Store.LastError, "Files.ini is read only, cannot save file list.");
  EXPECT_EQ(ReadBytes("proj/Files.~ni"), "old backup");  // a save that cannot happen keeps it
  EXPECT_EQ(ReadBytes("proj/Files.ini"), before);
}

TEST_F(PersistenceTest, WholeSaveOrderAndTheVersionSectionCarriedOver) {
  WriteBytes("proj/Files.ini", "[options]\r\nHaltOnError=1\r\n[version]\r\nBuild=41\r\nMajor=3\r\n[Stale]\r\nx=1\r\n");
  ASSERT_TRUE(Store.SetupProjectDir(Project));
  const std::string before = ReadBytes("proj/Files.ini");
  ASSERT_TRUE(Store.PrepareFilesIniForSave(Project));
  // The backup is a copy; Files.ini stays until the new text replaces it.
  EXPECT_EQ(ReadBytes("proj/Files.~ni"), before);
  EXPECT_EQ(ReadBytes("proj/Files.ini"), before);

  Store.BeginSaveRehearsal(Project);
  TSettingsPathNameArray paths;
  paths[stDestFile] = "/out/A.EXE";
  for (TsettingsTypeEnum kind : InMemorySettingKinds()) paths[kind] = "/s/" + GlobalStuff().SettingName(kind);
  Store.WriteSettingPaths(Project, "/src/A.dpr", paths);
  // Options as 1 and 0, flag 6 (ReplaceReadOnly) nowhere.
  TProjectOptions options;
  options[poHaltOnError] = options[poReplaceReadOnly] = options[poAutoProdIncrement] = true;
  ASSERT_TRUE(Store.SaveOptions(Project, options, "C:dcc"));
  ASSERT_TRUE(Store.SaveFileList(Project, "/out/A.EXE=/src/A.dpr\r\n"));
  std::string text;
  ASSERT_TRUE(Store.EndSaveRehearsal(text));
  EXPECT_EQ(ReadBytes("proj/Files.ini"), before);
  ASSERT_TRUE(Store.StoreFilesIniText(Project, text));
  EXPECT_EQ(ReadBytes("proj/Files.ini"),
            "[/src/A.dpr]\r\nDestFile=/out/A.EXE\r\nLibraryPath=/s/LibraryPath\r\nConfigFile=/s/ConfigFile\r\n"
            "DPKConfig=/s/DPKConfig\r\nGroupVerInfo=/s/GroupVerInfo\r\nLocalVerInfo=/s/LocalVerInfo\r\n"
            "RCMask=/s/RCMask\r\nPreProcessing=/s/PreProcessing\r\nPostProcessing=/s/PostProcessing\r\n"
            "[options]\r\nAutoFileIncrement=0\r\nAutoProdIncrement=1\r\nCheckVersion=0\r\nMinimizeOnBuild=0\r\n"
            "ReplaceReadOnlyCFGRESVER=0\r\nHaltOnError=1\r\nAutoResFileCreate=0\r\nDisplayMsgOnDone=0\r\n"
            "DCCPath=C:dcc\r\n[FileList]\r\n/out/A.EXE=/src/A.dpr\r\n[version]\r\nBuild=41\r\nMajor=3\r\n");
  EXPECT_TRUE(Reports.empty());
}

TEST_F(PersistenceTest, SettingPathsFallBackToTheDefaults) {
  WriteBytes("proj/Files.ini",
             "[/src/App.dpr]\r\nRCMask=\r\nLibraryPath=/x/lib.path\r\nLocalVerInfo=\r\nConfigFile=\"/x/a b.cfg\"\r\n");
  ASSERT_TRUE(Store.SetupProjectDir(Project));
  TSettingsPathNameArray paths;
  paths[stDestFile] = "/out/App.EXE";
  Store.ReadSettingPaths(Project, "/src/App.dpr", paths);
  EXPECT_EQ(paths[stDestFile], "/out/App.EXE");
  EXPECT_EQ(paths[stLibraryPath], "/x/lib.path");
  EXPECT_EQ(paths[stRCMask], "");  // present but empty
  EXPECT_EQ(paths[stLocalVerInfo], "");
  EXPECT_EQ(paths[stConfigFile], "/x/a b.cfg");  // quotes taken off, as from any profile
  EXPECT_EQ(paths[stConfigWithPath], "/src/App.cfg");
  EXPECT_EQ(paths[stGroupVerInfo], Path("proj/Default.ver"));
  EXPECT_EQ(paths[stPostProcessing], Path("proj/Default.after"));

  // Read again into the same names: what the section does not give is the
  // default, not what the last entry had.
  Store.ReadSettingPaths(Project, "", paths);
  EXPECT_EQ(paths[stDestFile], "/out/App.EXE");
  EXPECT_EQ(paths[stLibraryPath], Path("proj/Default.path"));
  EXPECT_EQ(paths[stConfigFile], Path("proj/Default.config"));
  EXPECT_EQ(paths[stConfigWithPath], Path("proj/DefaultSettings.cfg"));
  EXPECT_EQ(paths[stLocalVerInfo], Path("proj/DefaultSettings.ver"));
}

// A file goes to its backup (the extension after "~" cut to seven
// characters), replacing an older one.
TEST_F(PersistenceTest, FileContentLineEndsBackupsAndFailures) {
  Store.WriteFileContent(Path("abc.txt"), "abc");
  EXPECT_EQ(ReadBytes("abc.txt"), "abc\r\n");
  Store.WriteFileContent(Path("mixed.txt"), "a\nb\rc\r\n");
  EXPECT_EQ(ReadBytes("mixed.txt"), "a\r\nb\r\nc\r\n");
  Store.WriteFileContent(Path("empty.txt"), "");
  EXPECT_TRUE(Exists("empty.txt"));
  EXPECT_EQ(ReadBytes("empty.txt"), "");
  Store.WriteFileContent("", "ignored");
  EXPECT_EQ(Store.ReadFileContent(Path("mixed.txt")), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(Store.ReadFileContent(Path("missing.txt")), "");
  EXPECT_EQ(Store.ReadFileContent(Root), "");  // a directory does not count
  WriteBytes("Default.before", "x");
  WriteBytes("Default.~before", "older");
  Store.BackupAndRemove(Path("Default.before"));
  EXPECT_FALSE(Exists("Default.before"));
  EXPECT_EQ(ReadBytes("Default.~before"), "x");
  WriteBytes("App.DPKConfig", "y");
  Store.BackupAndRemove(Path("App.DPKConfig"));
  EXPECT_EQ(ReadBytes("App.~DPKConf"), "y");
  Store.BackupAndRemove(Path("missing.txt"));
  EXPECT_FALSE(Exists("missing.~txt"));
  EXPECT_TRUE(Reports.empty());

  Store.WriteFileContent(Path("no/such/dir/x.txt"), "x");
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0].rfind("Failed to save " + Path("no/such/dir/x.txt") + ": ", 0), 0u) << Reports[0];
}

// Entries that use the same file hold one copy of its text while a load
// runs (where the system keeps what it learned of files: not on Windows); a
// text set on one of them is its own, and the file's stays as read.
TEST_F(PersistenceTest, SharedTextsChangeOnlyWhereTheyAreSet) {
  TSettingsPathNameArray paths;
  for (TsettingsTypeEnum kind : InMemorySettingKinds()) {
    paths[kind] = Path(GlobalStuff().SettingName(kind) + ".txt");
    WriteBytes(paths[kind], GlobalStuff().SettingName(kind) + "\n");
  }
  TSettingsInMemory a, b;
  {
    platform::TDirectoryListingScope scope;
    Store.ReadSettingsIntoMemory(paths, a);
    Store.ReadSettingsIntoMemory(paths, b);
#ifndef _WIN32
    EXPECT_EQ(&a[stRCMask], &b[stRCMask]);
#endif
    a.Set(stRCMask, "mine");
    EXPECT_EQ(b[stRCMask], "RCMask\r\n");
    EXPECT_EQ(Store.ReadFileContent(paths[stRCMask]), "RCMask\r\n");
  }
  EXPECT_FALSE(a == b);
  a.Set(stRCMask, "RCMask\r\n");
  EXPECT_TRUE(a == b);  // the same texts, though no longer one copy
  b.Clear(stPostProcessing);
  EXPECT_EQ(b[stPostProcessing], "");
  EXPECT_FALSE(a == b);
}

// A file's time stamps move on by at most their granularity (two seconds on
// FAT) when it changes: only a file left alone longer than that before a
// moment is surely another file once it changes after that moment.
TEST(SettledIdentity, TheLaterTimeMustBeTwoSecondsBeforeTheMoment) {
  const struct {
    long long MSec, MNsec, CSec, CNsec, AtSec, AtNsec;
    bool Settled;
  } cases[] = {
      {100, 0, 100, 0, 102, 1, true},
      {100, 0, 100, 0, 102, 0, false},
      {100, 5, 100, 0, 102, 5, false},  // the later of the two counts
      {100, 0, 100, 5, 102, 5, false},
      {100, 0, 100, 5, 102, 6, true},
      {100, 999999999, 99, 0, 102, 999999999, false},
      {100, 999999999, 99, 0, 103, 0, true},
  };
  for (const auto& c : cases) {
    const platform::TFileIdentity id{
        .Exists = true, .MTimeSec = c.MSec, .MTimeNsec = c.MNsec, .CTimeSec = c.CSec, .CTimeNsec = c.CNsec};
    EXPECT_EQ(platform::IdentityWasSettled(id, c.AtSec, c.AtNsec), c.Settled) << "case " << &c - cases;
  }
  EXPECT_FALSE(platform::IdentityWasSettled({}, 1000, 0));  // no file
}

// A setting file that had settled when it was read is not read again while
// it stays the same file (where the system keeps what it learned of files:
// not on Windows); a rewrite of the same size is seen by the next operation,
// whether it reads the file or saves a text into it.
TEST_F(PersistenceTest, SettledFilesAreReadAgainOnlyOnceTheyChange) {
  WriteBytes("a.ver", "[version]\r\nBuild=1\r\n");
  WriteBytes("b.ver", "[version]\r\nBuild=1\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  TSettingsInMemory::TText first, second;
  const auto readInItsOwnScope = [this](const std::string& name) {
    platform::TDirectoryListingScope scope;
    return Store.ReadSharedContent(Path(name));
  };
  first = readInItsOwnScope("a.ver");
  second = readInItsOwnScope("a.ver");
#ifndef _WIN32
  EXPECT_EQ(first, second);
#endif
  {
    platform::TDirectoryListingScope scope;
    Store.WriteFileContent(Path("b.ver"), "[version]\r\nBuild=1\r\n");  // found there: noted
  }
  WriteBytes("a.ver", "[version]\r\nBuild=2\r\n");
  WriteBytes("b.ver", "[version]\r\nBuild=2\r\n");
  EXPECT_EQ(*readInItsOwnScope("a.ver"), "[version]\r\nBuild=2\r\n");
  {
    platform::TDirectoryListingScope scope;
    Store.WriteFileContent(Path("b.ver"), "[version]\r\nBuild=1\r\n");
  }
  EXPECT_EQ(ReadBytes("b.ver"), "[version]\r\nBuild=1\r\n");
  EXPECT_EQ(*first, "[version]\r\nBuild=1\r\n");
  EXPECT_TRUE(Reports.empty());
}

// A setting file read into memory, then changed on disk: by another program
// only when what it holds changed (also within the tick of its time stamp,
// while it had not settled), not by the project's own writes, nor by a
// build's when no other program changed it first.
TEST_F(PersistenceTest, AChangeOnDiskIsAnotherProgramsOnlyWhenItChangesWhatTheFileHolds) {
  namespace fs = std::filesystem;
  const std::string file = Path("a b/Default.config");
  const std::string own = "-$A+\r\n", moved = "-$A+\r\n-$B+\r\n";
  const struct {
    const char* Name;
    bool ThereWhenRead;
    std::function<void()> Change;
    bool Changed;
  } cases[] = {
      {"left alone", true, [] {}, false},
      {"touched", true, [&] { fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(5)); }, false},
      {"made read-only", true, [&] { platform::SetReadOnly(file, true); }, false},
      {"written again as it was", true, [&] { WriteBytes("a b/Default.config", own); }, false},
      {"rewritten keeping its size and time stamp", true,
       [&] {
         const auto time = fs::last_write_time(file);
         WriteBytes("a b/Default.config", "-$Z+\r\n");
         fs::last_write_time(file, time);
       },
       true},
      {"rewritten", true, [&] { WriteBytes("a b/Default.config", moved); }, true},
      {"removed", true, [&] { fs::remove(file); }, true},
      {"made while it was missing", false, [&] { WriteBytes("a b/Default.config", "-$Z+\r\n"); }, true},
      {"written by the project", true, [&] { Store.WriteFileContent(file, moved); }, false},
      {"removed by the project", true, [&] { Store.BackupAndRemove(file); }, false},
      {"moved on by the project's build", true,
       [&] {
         WriteBytes("a b/Default.config", moved);
         Store.FollowOwnWrite(file, own, moved);
       },
       false},
      {"moved on by the project's build after another program", true,
       [&] {
         WriteBytes("a b/Default.config", "-$Z+\r\n");
         WriteBytes("a b/Default.config", "-$Z+\r\n-$B+\r\n");
         Store.FollowOwnWrite(file, "-$Z+\r\n", "-$Z+\r\n-$B+\r\n");
       },
       true},
  };
  for (const auto& c : cases) {
    if (Exists("a b/Default.config")) platform::SetReadOnly(file, false);
    fs::remove(file);
    if (c.ThereWhenRead) WriteBytes("a b/Default.config", own);
    const auto text = Store.ReadSharedContent(file, true);
    ASSERT_NE(text, nullptr);
    c.Change();
    EXPECT_EQ(Store.ChangedOutside(file), c.Changed) << c.Name;
    EXPECT_EQ(Store.SettingFilesChangedOutside(),
              c.Changed ? std::vector<std::string>{file} : std::vector<std::string>{})
        << c.Name;
  }
  EXPECT_FALSE(Store.ChangedOutside(Path("never read")));
  EXPECT_TRUE(Reports.empty());
}

// An entry is refused exactly when Files.ini, as the profile reader reads
// it, would not give back its target, its source and its settings section.
TEST(FileListEntryProblem, RefusesExactlyTheNamesThatDoNotReadBack) {
  const struct {
    std::string Target, Source, Why;  // Why: a part of the reason; empty when kept
  } cases[] = {
      {"/o/App.EXE", "/s/App.dpr", ""},
      {"/o/a]b/App.EXE", "/s/c=d;e[f/App.dpr", ""},
      {"/o/App.EXE", "/s/a]b/App.dpr", "']' cannot stand"},
      {"/o/x=y/App.EXE", "/s/App.dpr", "a '=' in it"},
      {" /o/App.EXE", "/s/App.dpr", "blanks at the start or end"},
      {"/o/App.EXE", "/s/App.dpr\t", "blanks at the start or end"},
      {"/o/App.EXE", "\"/s/App.dpr\"", "quotes around a name"},
      {"/o/App\r\n.EXE", "/s/App.dpr", "line break"},
      {";o/App.EXE", "/s/App.dpr", "starts with ';' or '['"},
      {"[o]/App.EXE", "/s/App.dpr", "starts with ';' or '['"},
      {"", "/s/App.dpr", "names no target"},
      {"/o/App.EXE", "", "names no source"},
  };
  for (const auto& c : cases) {
    const std::string problem = FileListEntryProblem(c.Target, c.Source);
    EXPECT_EQ(problem.empty(), c.Why.empty()) << c.Target << " " << c.Source << ": " << problem;
    EXPECT_NE(problem.find(c.Why), std::string::npos) << problem;
    const auto ini = platform::TProfileFile::FromText(
        "Files.ini", "[FileList]\r\n" + c.Target + "=" + c.Source + "\r\n[" + c.Source + "]\r\nDestFile=x\r\n");
    // A line without a source is no entry when the file list is loaded.
    const bool readsBack =
        !c.Source.empty() &&
        ini->ReadSectionValues("FileList") == std::vector<std::pair<std::string, std::string>>{{c.Target, c.Source}} &&
        ini->ReadString(c.Source, "DestFile", "") == "x";
    EXPECT_EQ(readsBack, problem.empty()) << c.Target << " " << c.Source;
  }
}

TEST_F(PersistenceTest, ReadOnlySettingFilesFollowTheProjectOptions) {
  TSettingsPathNameArray paths;
  TSettingsInMemory memory;
  for (TsettingsTypeEnum kind : InMemorySettingKinds()) {
    paths[kind] = Path(GlobalStuff().SettingName(kind) + ".txt");
    memory.Set(kind, "new " + GlobalStuff().SettingName(kind));
    WriteBytes(paths[kind], "old");
  }
  platform::SetReadOnly(paths[stRCMask], true);
  platform::SetReadOnly(paths[stPreProcessing], true);

  Store.WriteSettingsFromMemory(paths, memory);  // neither option: both refuse
  EXPECT_EQ(ReadBytes(paths[stRCMask]), "old");
  EXPECT_EQ(ReadBytes(paths[stConfigFile]), "new ConfigFile\r\n");
  EXPECT_EQ(Reports.size(), 2u);

  Reports.clear();
  Store.ReplaceReadOnly = true;  // only resource-related files are replaced
  Store.WriteSettingsFromMemory(paths, memory);
  EXPECT_EQ(ReadBytes(paths[stRCMask]), "new RCMask\r\n");
  EXPECT_EQ(ReadBytes(paths[stPreProcessing]), "old");
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0].rfind("Failed to save " + paths[stPreProcessing] + ": ", 0), 0u);

  // Refused even when it holds the text already, as any write would be.
  platform::SetReadOnly(paths[stPreProcessing], false);
  WriteBytes(paths[stPreProcessing], "new PreProcessing\r\n");
  platform::SetReadOnly(paths[stPreProcessing], true);
  Reports.clear();
  Store.WriteSettingsFromMemory(paths, memory);
  EXPECT_EQ(Reports.size(), 1u);
}

// Rows of sixteen bytes in upper-case hex, each in single quotes; a file of
// whole rows ends with a row of just the quotes. (An icon beside the script
// is found where a script is made.) One found nowhere is reported and leaves
// the text as it was.
TEST_F(PersistenceTest, IconDataForTypicalSizesAndAMissingIcon) {
  auto iconOf = [&](std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>(i * 7 + 0xA0);
    WriteBytes("icon.ico", bytes);
    std::string text = "unchanged";
    EXPECT_TRUE(Store.GetIconData(Path("x.RC"), Path("icon.ico"), text));
    return CrLfLines(text);
  };
  const std::string row = "'A0 A7 AE B5 BC C3 CA D1 D8 DF E6 ED F4 FB 02 09'";
  EXPECT_EQ(iconOf(0), std::vector<std::string>{"''"});
  EXPECT_EQ(iconOf(20), (std::vector<std::string>{row, "'10 17 1E 25'"}));
  EXPECT_EQ(iconOf(32), (std::vector<std::string>{row, "'10 17 1E 25 2C 33 3A 41 48 4F 56 5D 64 6B 72 79'", "''"}));
  const auto rows = iconOf(766);
  ASSERT_EQ(rows.size(), 48u);
  EXPECT_EQ(rows.back().size(), 14u * 3 - 1 + 2);
  EXPECT_TRUE(Reports.empty());

  std::string text = "unchanged";
  EXPECT_FALSE(Store.GetIconData(Path("src/App.RC"), "none.ico", text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(Store.LastError, " Icon File for App.RC not found. Will compile without icon.");
  std::string name;
  EXPECT_FALSE(Store.CheckIconFile("App.RC", name));  // empty name, script without directory
  EXPECT_EQ(name, NativePath("/"));
}

}  // namespace
