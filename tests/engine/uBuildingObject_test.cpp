#include "engine/uBuildingObject.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <thread>

#include "engine/DOSToMemo.h"
#include "platform/FileSystem.h"
#include "support/Faults.h"
#include "support/TestProject.h"

namespace {

bool Matches(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

const std::vector<std::string> BadProgram = {"program Bad;", "uses Missing;", "begin", "end."};
const std::string BadFatal = "Bad.dpr(2) Fatal: File not found: 'Missing.dcu'";

class BuildTest : public TProjectTest {
 protected:
  // Loads the project into builder and runs one build.
  void Build(TBuilderClass& builder) {
    ASSERT_TRUE(builder.LoadProject(Project));
    ASSERT_TRUE(builder.RunBuild());
  }
  void Build() {
    TBuilderClass builder;
    Build(builder);
  }
};

TEST_F(BuildTest, BuildsAProgramAndLeavesEveryFileAndLog) {
  WriteProgram();
  WriteBytes("src/App.ver", CrLf({"[version]", "Major=1", "Minor=2", "Build=4", "Company=Acme"}));
  WriteFilesIni({"AutoFileIncrement=1", "CheckVersion=1", "ReplaceReadOnlyCFGRESVER=1"}, {Entry("App.EXE", "App.dpr")});

  // What the build reports as it goes, the window and the command-line front
  // end show (their tests check it); here, what it leaves.
  Build();
  // The configuration beside the source: options, then the library path switches.
  EXPECT_EQ(ReadBytes("src/App.cfg").substr(0, 11), "-W+\r\n-B\r\n-$");
  EXPECT_TRUE(Holds(ReadBytes("src/App.cfg"), "-U\" ;\"\r\n"));
  // Build 4 of the local file became 5; the compile log shows the version
  // read back from the target.
  EXPECT_TRUE(Holds(ReadBytes("src/App.ver"), "Build=5"));
  const auto summary = CrLfLines(ReadBytes("proj/Summary.log"));
  ASSERT_EQ(summary.size(), 6u) << ReadBytes("proj/Summary.log");
  EXPECT_EQ(summary[0], "  auto res file creation OK: App.RES");
  EXPECT_EQ(summary[1],
            "OK: App.EXE Lines: 12,  Hints: 1,  Warnings: 1,  Errors: 0,   Fatal: 0 VerInfo: 1.2.0.5; ...0; 0; ; "
            "Acme; ; ; ; ; ; ; ");
  EXPECT_EQ(summary[2] + summary[3], "");
  EXPECT_TRUE(Matches(summary[4], "Tesmar done:    Time: \\d+\\.\\d\\d seconds")) << summary[4];
  EXPECT_EQ(summary[5], "Final result is 1 OK, 0 ERR.   Lines: 12,  Hints: 1,  Warnings: 1,  Errors: 0,   Fatal: 0");

  const auto log = CrLfLines(ReadBytes("proj/Compile.log"));
  ASSERT_GE(log.size(), 8u);
  // The output directory in its short form (on Windows; the name itself elsewhere).
  EXPECT_EQ(log[0], "DCC32.exe App.dpr -E" + platform::ShortPathName(Path("out/")));
  const auto lastOutput =
      std::find_if(log.begin(), log.end(), [](const std::string& l) { return Holds(l, " lines, "); });
  ASSERT_LT(lastOutput + 9, log.end());
  EXPECT_EQ(*(lastOutput + 1), *lastOutput);  // the last line stands twice
  EXPECT_TRUE(Matches(*(lastOutput + 2), "   Time: \\d+\\.\\d\\d seconds"));
  EXPECT_EQ(*(lastOutput + 3), "Done: App.dpr");
  EXPECT_EQ(*(lastOutput + 4), " from " + Path("out/App.EXE"));
  EXPECT_EQ(*(lastOutput + 5), "FileVersion = 1.2.0.5");
  EXPECT_EQ(*(lastOutput + 9), "Company = Acme");
  for (const std::string& line : log) EXPECT_FALSE(Matches(line, ".*\\(\\d+\\)")) << "progress line kept: " << line;

  EXPECT_EQ(CrLfLines(ReadBytes("proj/Hint.log")), std::vector<std::string>{"Unit1.pas(3) Hint: mind this"});
  EXPECT_EQ(CrLfLines(ReadBytes("proj/Warning.log")), std::vector<std::string>{"Unit1.pas(5) Warning: careful"});
  EXPECT_EQ(ReadBytes("proj/Error.log"), "");

  const auto events = CrLfLines(ReadBytes("proj/Events.log"));
  ASSERT_GE(events.size(), 6u);
  EXPECT_TRUE(events[0].starts_with("Build defined in " + Project + " started ")) << events[0];
  EXPECT_EQ(events[1] + events[2], "");
  EXPECT_EQ(events[3], "Start: " + Path("src/App.dpr"));
  EXPECT_EQ(events[4], "  --> " + Path("out/App.EXE"));
  EXPECT_TRUE(Matches(events[5], "   --> App.dpr compile started \\w{3}, \\d\\d \\w{3} \\d{4}  \\d\\d:\\d\\d:\\d\\d"));
  // Beside the logs, what the entry took, for the next run's estimate.
  const std::string times = ReadBytes("proj/BuildTimes.dat");
  EXPECT_TRUE(Matches(times.substr(0, times.find('\t')), "\\d+")) << times;
  EXPECT_EQ(times.substr(times.find('\t')), "\t" + Entry("App.EXE", "App.dpr") + "\r\n");

  // With resource file errors ignored (ReplaceReadOnlyCFGRESVER), a read-only
  // RES is not replaced and the entry is built with it; a missing local file
  // goes to the event log, not to the halt event.
  const std::string res = ReadBytes("src/App.RES");
  platform::SetReadOnly(Path("src/App.RES"), true);
  std::filesystem::remove(Path("src/App.ver"));
  Build();
  EXPECT_EQ(ReadBytes("src/App.RES"), res);
  EXPECT_TRUE(Holds(ReadBytes("proj/Events.log"), "\r\nResource Error for " + Path("src/App.ver") +
                                                      ": Did not exist, trying to read version info from .exe\r\n"));
  EXPECT_FALSE(Holds(ReadBytes("proj/Summary.log"), "auto res file creation"));
  EXPECT_TRUE(Holds(ReadBytes("proj/Summary.log"), "OK: App.EXE"));
}

// Every run moves each build number on by one, in the file it was read from
// and once a run for a file that entries share: the group file Default.ver of
// a new project (no local files), Files.ini as the group file, and a local
// file under a group file that leaves Build unset.
TEST_F(BuildTest, BuildNumbersMoveOnInTheFileTheyCameFrom) {
  for (const char* name : {"A", "B", "C"}) WriteProgram(name);
  auto expectRuns = [&](const std::vector<const char*>& scripts, int first) {
    for (int run = 0; run < 3; ++run) {
      Build();
      for (const char* rc : scripts)
        EXPECT_TRUE(Holds(ReadBytes(rc), ", 0, " + std::to_string(first + run) + "\r\n")) << rc << " run " << run;
    }
  };
  WriteBytes("proj/Default.ver", CrLf({"[version]", "Major=2", "Build=7"}));
  WriteFilesIni({"AutoFileIncrement=1"}, {Entry("A.EXE", "A.dpr"), Entry("B.EXE", "B.dpr")});
  expectRuns({"src/A.RC", "src/B.RC"}, 8);
  EXPECT_EQ(ReadBytes("proj/Default.ver"), CrLf({"[version]", "Major=2", "Build=10"}));
  EXPECT_FALSE(Holds(ReadBytes("proj/Files.ini"), "[version]"));

  const std::string filesIni = "GroupVerInfo=" + Path("proj/Files.ini");
  WriteBytes("src/C.ver", CrLf({"[version]", "Build=4"}));
  const std::vector<std::string> sections = {"[" + Path("src/B.dpr") + "]", filesIni, "[" + Path("src/C.dpr") + "]",
                                             filesIni};
  auto withSections = sections;
  withSections.insert(withSections.end(), {"[version]", "Build=7"});
  WriteFilesIni({"AutoFileIncrement=1"}, {Entry("B.EXE", "B.dpr"), Entry("C.EXE", "C.dpr")}, withSections);
  const std::string filesIniBefore = ReadBytes("proj/Files.ini");
  expectRuns({"src/B.RC", "src/C.RC"}, 8);
  // Written in place, nothing else of the file touched; C's group number is
  // set, so its local file is not the one moved on.
  std::string expected = filesIniBefore;
  expected.replace(expected.find("Build=7"), 7, "Build=10");
  EXPECT_EQ(ReadBytes("proj/Files.ini"), expected);
  EXPECT_EQ(ReadBytes("src/C.ver"), CrLf({"[version]", "Build=4"}));

  WriteFilesIni({"AutoFileIncrement=1"}, {Entry("C.EXE", "C.dpr")},
                {"[" + Path("src/C.dpr") + "]", "GroupVerInfo=" + Path("src/empty-group.ver")});
  expectRuns({"src/C.RC"}, 5);
  EXPECT_EQ(ReadBytes("src/C.ver"), CrLf({"[version]", "Build=7"}));
}

#ifndef _WIN32
// A blank in the project, source, target or tool directory: POSIX has no short
// names to hide it, so each goes to the tool quoted, as one argument.
TEST_F(BuildTest, BlanksInDirectoryNamesReachTheToolsWhole) {
  Project = Path("my proj");
  WriteBytes("my src/App.dpr", CrLf({"program App;", "{$R *.RES}", "begin", "end."}));
  WriteBytes("my src/App.ver", CrLf({"[version]", "Build=1"}));
  std::filesystem::create_directories(Path("my tools"));
  std::filesystem::create_symlink(BinDir() + "/DCC32.exe", Path("my tools/DCC32.exe"));
  WriteBytes("my proj/Files.ini", CrLf({"[options]", "DCCPath=" + Path("my tools"), "[FileList]",
                                        Path("my out/App.EXE") + "=" + Path("my src/App.dpr")}));
  TBuilderClass builder;
  Build(builder);
  EXPECT_EQ(builder.OKCount, 1) << ReadBytes("my proj/Compile.log");
  EXPECT_TRUE(builder.CompileStep().VersionStamped);
  EXPECT_TRUE(platform::FileExists(Path("my out/App.EXE")));
  EXPECT_EQ(CrLfLines(ReadBytes("my proj/Compile.log")).at(0),
            "\"" + Path("my tools") + "/DCC32.exe\" App.dpr \"-E" + Path("my out") + "/\"");
}

// A processing line that runs past the time limit is ended, and its entry
// fails with the line that says so.
TEST_F(BuildTest, AProcessingLineEndedByTheTimeLimitFailsItsEntry) {
  WriteProgram();
  WriteBytes("proj/Default.after", CrLf({"sleep 30"}));
  WriteFilesIni({}, {Entry("App.EXE", "App.dpr")});
  TBuilderClass builder;
  const double before = SetRunTimeLimit(0.5);
  Build(builder);
  SetRunTimeLimit(before);
  EXPECT_EQ(builder.ErrCount, 1);
  EXPECT_EQ(builder.CompileStep().LastLine, "sleep was ended: it ran longer than 0.5 seconds");
  EXPECT_EQ(ReadBytes("proj/BuildTimes.dat"), "");         // an ended entry took no time of its own
  EXPECT_TRUE(platform::FileExists(Path("out/App.EXE")));  // the compiler itself had finished
}
#endif

// A failed entry goes to the halt event: the run stops before the next entry
// only when the event asks for it, and the logs say which it was.
TEST_F(BuildTest, AFailureStopsTheRunBeforeTheNextEntryOnlyWhenTheHaltEventAsks) {
  WriteProgram("A");
  WriteBytes("src/Bad.dpr", CrLf(BadProgram));
  WriteProgram("C");
  WriteFilesIni({"HaltOnError=1"}, {Entry("A.EXE", "A.dpr"), Entry("Bad.EXE", "Bad.dpr"), Entry("C.EXE", "C.dpr")});
  for (const bool halt : {true, false}) {
    SCOPED_TRACE(halt);
    std::filesystem::remove_all(Path("out"));
    TBuilderClass builder;
    builder.ProjectName = "P";
    std::vector<std::string> halts;
    builder.OnProjectHalt = [&](const std::string&, const std::string& message) {
      halts.push_back(message);
      if (halt && Holds(message, "Fatal:")) builder.HaltRequest = true;
    };
    int done = 0;
    builder.OnProjectDone = [&](const std::string&, int, int, int, int, int, int, int) { ++done; };
    Build(builder);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(builder.OKCount, halt ? 1 : 2);
    EXPECT_EQ(builder.ErrCount, 1);
    EXPECT_EQ(platform::FileExists(Path("out/C.EXE")), !halt);
    ASSERT_FALSE(halts.empty());
    EXPECT_EQ(halts.back() == BadFatal, halt);  // with a stop, the last of all
    const std::string events = ReadBytes("proj/Events.log");
    EXPECT_TRUE(Holds(events, "P would have been halted: " + BadFatal + "\r\n"));
    EXPECT_EQ(Holds(events, BadFatal + "\r\n\r\nProject Halted:    Time: "), halt);
    EXPECT_EQ(Holds(events, "P Halted: " + BadFatal), halt);
    const auto summary = CrLfLines(ReadBytes("proj/Summary.log"));
    EXPECT_NE(std::find(summary.begin(), summary.end(),
                        "ERR: Bad.EXE Lines: 1,  Hints: 0,  Warnings: 0,  Errors: 0,   Fatal: 2 " + BadFatal),
              summary.end());
    EXPECT_EQ(summary.back(), halt ? "Final result is 1 OK, 1 ERR.   Lines: 13,  Hints: 1,  Warnings: 1,  Errors: "
                                     "0,   Fatal: 2"
                                   : "Final result is 2 OK, 1 ERR.   Lines: 25,  Hints: 2,  Warnings: 2,  Errors: "
                                     "0,   Fatal: 2");
    // The repeated last line counts too.
    EXPECT_EQ(CrLfLines(ReadBytes("proj/Error.log")), (std::vector<std::string>{BadFatal, BadFatal}));
  }
}

TEST_F(BuildTest, EmptyFileListStillWritesEveryLog) {
  WriteFilesIni({}, {});
  TBuilderClass builder;
  Build(builder);
  for (const char* name : {"Compile.log", "Error.log", "Warning.log", "Hint.log", "started.dat"})
    EXPECT_EQ(ReadBytes(std::string("proj/") + name), "") << name;
  const auto summary = CrLfLines(ReadBytes("proj/Summary.log"));
  ASSERT_EQ(summary.size(), 3u);
  EXPECT_EQ(summary[0], "");
  EXPECT_EQ(summary[2], "Final result is 0 OK, 0 ERR.   Lines: 0,  Hints: 0,  Warnings: 0,  Errors: 0,   Fatal: 0");

  ASSERT_TRUE(builder.RunBuild());  // a second run adds to the event log
  const std::string events = ReadBytes("proj/Events.log");
  EXPECT_NE(events.find("Build defined in"), events.rfind("Build defined in"));
}

// The test child stands in for the compiler: a copy named DCC32.exe carries
// out the commands of TESMAR_TEST_CHILD.
TEST_F(BuildTest, ProcessingLinesToolsThatCannotStartCrashOrFlood) {
  WriteProgram();
  WriteBytes("proj/Default.before", CrLf({"no-such-program-here --flag", ChildCommand("out \"before #fullname#\"")}));
  std::filesystem::create_directories(Path("tools"));
  std::filesystem::copy_file(ChildProgram(), Path("tools/DCC32.exe"));
  SetEnv("TESMAR_TEST_CHILD", "crash");
  WriteFilesIni({"DCCPath=" + Path("tools")}, {Entry("App.EXE", "App.dpr")});
  TBuilderClass builder;
  std::vector<std::string> notes;
  builder.OnCompileEvent = [&](const std::string&, const std::string& text) { notes.push_back(text); };
  Build(builder);
  EXPECT_EQ(builder.ErrCount, 1);
  EXPECT_NE(std::find(notes.begin(), notes.end(),
                      "  Before Compile  line 0 failed: no-such-program-here --flag   Error Code 2: DOS redirected  "
                      "failed: WINAPI Error Code = 2\r\n"),
            notes.end());
  EXPECT_NE(std::find(notes.begin(), notes.end(), "before " + Path("src/App.dpr") + "\r\n"), notes.end());
  // A tool that crashed was started: its empty output judges the entry (the
  // script run counted its one line).
  EXPECT_TRUE(Holds(ReadBytes("proj/Summary.log"),
                    "ERR: App.EXE Lines: 1,  Hints: 0,  Warnings: 0,  Errors: 0,   Fatal: 0 \r\n"))
      << ReadBytes("proj/Summary.log");

  // A missing tool is a run that was not started.
  std::filesystem::remove(Path("tools/DCC32.exe"));
  ASSERT_TRUE(builder.RunBuild());
  const auto log = CrLfLines(ReadBytes("proj/Compile.log"));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "xxxxx>");
  EXPECT_EQ(log[1], "Compile Failed: " + Path("tools/DCC32.exe") + " App.dpr -E" +
                        platform::ShortPathName(Path("out/")) +
                        "   Error Code 2: DOS redirected  failed: WINAPI Error Code = 2");

  // Tens of megabytes of output: read, filtered and judged all the same.
  std::filesystem::copy_file(ChildProgram(), Path("tools/DCC32.exe"));
  SetEnv("TESMAR_TEST_CHILD",
         "flood 40000000 Unit1.pas(12) out \"\" out \"App.dpr(3) Warning: late\" "
         "out \"1234 lines, 0.1 seconds, 10 bytes code, 10 bytes data.\"");
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_EQ(builder.OKCount, 1);
  EXPECT_EQ(builder.TotalLines, 1234);
  EXPECT_EQ(builder.TotalWarnings, 1);
  EXPECT_LT(ReadBytes("proj/Compile.log").size(), 10000u);
}

TEST_F(BuildTest, PackagesMergeTheirDirectivesAndResourceScriptsCompile) {
  WriteBytes("src/Pack.dpk", CrLf({"package Pack;", "", "{$R *.RES}", "{$ALIGN OFF}", "requires", "  rtl;", "end."}));
  WriteBytes("src/Extra.rc", CrLf({"1 RCDATA { 1, 2, 3 }"}));
  WriteBytes("proj/Default.DPKConfig", CrLf({"$ALIGN ON", "$NEWONE ON", "$OTHER 2"}));
  WriteFilesIni({}, {Entry("Pack.BPL", "Pack.dpk"), Entry("Extra.RC", "Extra.rc")});
  // Written with braces, so that the compiler takes them; a second build
  // finds every directive in place.
  for (int run = 0; run < 2; ++run) {
    Build();
    EXPECT_EQ(ReadBytes("src/Pack.dpk"), CrLf({"package Pack;", "", "{$R *.RES}", "{$OTHER 2}", "{$NEWONE ON}",
                                               "{$ALIGN ON}", "requires", "  rtl;", "end."}));
    EXPECT_TRUE(Holds(ReadBytes("proj/Summary.log"), "\r\nOK: Pack.BPL Lines: ")) << run;
  }
  EXPECT_TRUE(Exists("src/Extra.RES"));
  EXPECT_TRUE(Holds(ReadBytes("proj/Summary.log"), "\r\nOK: Extra.RES\r\n"));
}

TEST_F(BuildTest, AnEntryWhoseDirectoryCannotBeEnteredCountsAsAnError) {
  WriteFilesIni({}, {Entry("Gone.RC", "gone/Gone.rc")});
  TBuilderClass builder;
  int ends = 0;
  builder.OnCompileEnd = [&](const std::string&, const std::string&, const std::string&, bool, int lines, int, int, int,
                             int) { ends += 1 + lines; };
  Build(builder);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(builder.ErrCount, 1);
  const auto log = CrLfLines(ReadBytes("proj/Compile.log"));
  ASSERT_EQ(log.size(), 2u);  // the system's reason on a line of its own
  EXPECT_EQ(log[0], "Compile Notify: chdir to " + Path("src/gone/Gone.rc") + "failed: ");
  EXPECT_EQ(platform::GetCurrentDir(), Project);
}

// A save that would write Files.ini as it stands leaves every file alone, and
// once found so, is known to do so again without the file made again, while
// the file keeps an identity that had settled and the save makes the same
// writes (where the system keeps what it learned of files: not on Windows).
// A change on either side is still saved, the old file moved aside.
TEST_F(BuildTest, AnUnchangedSaveWritesNothingWhileNeitherSideChanges) {
  WriteProgram();
  WriteFilesIni({"HaltOnError=0"}, {Entry("App.EXE", "App.dpr")}, {"[version]", "Build=7"});
  std::vector<std::unique_ptr<TBuilderClass>> builders;
  for (const char* dir : {"p1", "p2", "p3"}) {
    std::filesystem::copy(Path("proj"), Path(dir), std::filesystem::copy_options::recursive);
    builders.push_back(std::make_unique<TBuilderClass>());
    ASSERT_TRUE(builders.back()->LoadProject(Path(dir)));
    ASSERT_TRUE(builders.back()->SaveProject());  // the first save rebuilds the file
  }
  const std::string first = ReadBytes("p1/Files.ini");
  EXPECT_TRUE(Holds(first, "[version]\r\nBuild=7\r\n"));
  const auto identities = [this] {
    std::vector<platform::TFileIdentity> found;
    for (const char* name : {"p1/Files.ini", "p1/Files.~ni", "src/App.cfg"})
      found.push_back(platform::FileIdentity(Path(name)));
    return found;
  };
  const auto before = identities();
  for (const auto& identity : before) ASSERT_TRUE(identity.Exists);
  ASSERT_TRUE(builders[0]->SaveProject());
  EXPECT_EQ(identities(), before);

  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  for (auto& builder : builders) ASSERT_TRUE(builder->SaveProject());  // found unchanged, and noted
  const std::string saved = ReadBytes("p3/Files.ini");
  const platform::TFileIdentity identity = platform::FileIdentity(Path("p3/Files.ini"));
  ASSERT_TRUE(builders[2]->SaveProject());
  EXPECT_EQ(platform::FileIdentity(Path("p3/Files.ini")), identity);

  builders[0]->SetOption(poHaltOnError, true);
  ASSERT_TRUE(builders[0]->SaveProject());
  EXPECT_TRUE(Holds(ReadBytes("p1/Files.ini"), "HaltOnError=1"));
  EXPECT_EQ(ReadBytes("p1/Files.~ni"), first);
  builders[1]->DCCPath = "/elsewhere";
  ASSERT_TRUE(builders[1]->SaveProject());
  EXPECT_TRUE(Holds(ReadBytes("p2/Files.ini"), "DCCPath=/elsewhere"));
  // Another program's change is seen too (asked about, here written over).
  std::string edited = saved;
  edited.replace(edited.find("HaltOnError=0"), 13, "HaltOnError=1");  // the same size
  WriteBytes("p3/Files.ini", edited);
  int asked = 0;
  builders[2]->OnChangedOutside = [&asked](std::vector<TChangedFile>& files) {
    for (TChangedFile& file : files) file.Overwrite = ++asked > 0;
    return true;
  };
  ASSERT_TRUE(builders[2]->SaveProject());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(ReadBytes("p3/Files.ini"), saved);
}

// While the project is loaded, another program changes a setting file and
// adds an entry to Files.ini; the project's own change is the order of its
// files. A save asks before it writes over either: unasked or cancelled it
// writes nothing; kept, the files stay as they are (the project takes the
// setting's text; its Files.ini is asked about again, not taken); overwritten
// they are the project's. A change of [version] alone is carried over.
TEST_F(BuildTest, ASaveAsksBeforeWritingOverChangesMadeOnDisk) {
  for (const char* name : {"A", "B", "C"}) WriteProgram(name);
  const std::string a = Entry("A.EXE", "A.dpr"), b = Entry("B.EXE", "B.dpr");
  WriteFilesIni({}, {a, b});
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  WriteBytes("proj/Default.config", "-$Y+\r\n");
  WriteFilesIni({}, {a, b, Entry("C.EXE", "C.dpr")});
  const std::string theirs = ReadBytes("proj/Files.ini");
  builder.FileList().Move(0, 1);

  const std::string filesIni = Path("proj/Files.ini"), config = Path("proj/Default.config");
  EXPECT_FALSE(builder.SaveProject());
  EXPECT_EQ(builder.Store().LastError,
            "Not saved: changed on disk since the project read them:\r\n" + filesIni + "\r\n" + config);
  std::vector<std::string> asked;
  const auto saveAnswering = [&](std::optional<bool> overwrite) {
    asked.clear();
    builder.OnChangedOutside = [&asked, overwrite](std::vector<TChangedFile>& files) {
      for (TChangedFile& file : files) {
        asked.push_back(file.Name + (file.FilesIni ? " (the project's)" : ""));
        file.Overwrite = overwrite.value_or(false);
      }
      return overwrite.has_value();
    };
    return builder.SaveProject();
  };
  for (const std::optional<bool> answer : {std::optional<bool>(), std::optional<bool>(false)}) {
    EXPECT_EQ(saveAnswering(answer), answer.has_value());
    EXPECT_EQ(asked, (std::vector<std::string>{filesIni + " (the project's)", config}));
    EXPECT_EQ(ReadBytes("proj/Files.ini"), theirs);
    EXPECT_EQ(ReadBytes("proj/Default.config"), "-$Y+\r\n");
    EXPECT_FALSE(Exists("proj/Files.~ni"));
  }
  for (int i = 0; i < 2; ++i) EXPECT_EQ(builder.FileList().SettingsAt(i)->Memory[stConfigFile], "-$Y+\r\n");

  EXPECT_TRUE(saveAnswering(true));
  EXPECT_EQ(asked, std::vector<std::string>{filesIni + " (the project's)"});
  EXPECT_TRUE(Holds(ReadBytes("proj/Files.ini"), "[FileList]\r\n" + b + "\r\n" + a + "\r\n"));
  EXPECT_EQ(ReadBytes("proj/Files.~ni"), theirs);
  EXPECT_EQ(ReadBytes("proj/Default.config"), "-$Y+\r\n");

  WriteBytes("proj/Files.ini", ReadBytes("proj/Files.ini") + "[version]\r\nBuild=5\r\n");
  builder.FileList().Move(0, 1);
  EXPECT_TRUE(saveAnswering(false));
  EXPECT_TRUE(asked.empty());
  EXPECT_TRUE(Holds(ReadBytes("proj/Files.ini"), a + "\r\n" + b + "\r\n[version]\r\nBuild=5\r\n"));
}

// What a build writes is the project's own: the build numbers it stamps into
// Default.ver and into Files.ini as a group file, the configuration beside
// each source. The save after it asks about nothing and keeps them.
TEST_F(BuildTest, ABuildsOwnWritesAreNoOtherProgramsChanges) {
  for (const char* name : {"A", "B"}) WriteProgram(name);
  const std::string a = Entry("A.EXE", "A.dpr"), b = Entry("B.EXE", "B.dpr");
  WriteBytes("proj/Default.ver", CrLf({"[version]", "Build=7"}));
  WriteFilesIni({"AutoFileIncrement=1", "HaltOnError=0"}, {a, b},
                {"[" + Path("src/B.dpr") + "]", "GroupVerInfo=" + Path("proj/Files.ini"), "[version]", "Build=3"});
  TBuilderClass builder;
  Build(builder);
  EXPECT_EQ(builder.OKCount, 2);
  builder.FileList().Move(0, 1);
  builder.OnChangedOutside = [](std::vector<TChangedFile>& files) {
    for (const TChangedFile& file : files) ADD_FAILURE() << "asked about " << file.Name;
    return false;
  };
  ASSERT_TRUE(builder.SaveProject());
  EXPECT_TRUE(Holds(ReadBytes("proj/Default.ver"), "Build=8"));
  EXPECT_TRUE(Holds(ReadBytes("proj/Files.ini"), "[FileList]\r\n" + b + "\r\n" + a + "\r\n[version]\r\nBuild=4\r\n"));
  EXPECT_TRUE(Holds(ReadBytes("src/A.cfg"), "-U\""));
}

class CompileStepTest : public TTestDir {
 protected:
  TResourceHandler Handler;
  TCompileClass Step{&Handler};
};

TEST_F(CompileStepTest, OutputIsJudgedFilteredAndCounted) {
  Step.OutputFile = Path("out.dat");
  Step.DestFile = Path("App.EXE");
  Step.CommandLine = "DCC32.exe App.dpr -E/x/";
  Step.Kind = ttEXE;
  auto parse = [&](const std::vector<std::string>& output) {
    WriteBytes("out.dat", CrLf(output));
    Step.Success = true;
    Step.Lines = Step.Hints = Step.Warnings = Step.Errors = Step.Fatal = 0;
    Step.SummaryLines.clear();
    Step.ParseOutput();
  };
  parse({"banner", "Unit1.pas(12)", "  ", "x.pas(3) Hint: h", "keep (a)", "1234 lines, 0.5 seconds, 1 bytes code."});
  EXPECT_TRUE(Step.Success);
  EXPECT_EQ(Step.Lines, 1234);
  EXPECT_EQ(Step.Hints, 1);
  EXPECT_EQ(Step.Results, (platform::TStringList{"DCC32.exe App.dpr -E/x/", "banner", "x.pas(3) Hint: h", "keep (a)",
                                                 "1234 lines, 0.5 seconds, 1 bytes code.",
                                                 "1234 lines, 0.5 seconds, 1 bytes code."}));
  parse({"Error: linking RES failed"});
  EXPECT_TRUE(Step.Success);
  parse({"Error: something else"});
  EXPECT_FALSE(Step.Success);
  EXPECT_EQ(Step.Errors, 2);
  EXPECT_EQ(Step.SummaryLines.back(),
            "ERR: App.EXE Lines: 0,  Hints: 0,  Warnings: 0,  Errors: 2,   Fatal: 0 Error: something else\r\n");
  parse({});
  EXPECT_FALSE(Step.Success);
  EXPECT_EQ(Step.LastLine, "");
  EXPECT_THROW(parse({"abc lines, 1 seconds"}), std::exception);

  Step.Kind = ttRC;
  Step.AutoResource = true;
  Step.AutoResourceRun = false;
  parse({"banner", "Lines: 3", "New File: App.RES"});
  EXPECT_TRUE(Step.Success);
  EXPECT_EQ(Step.Lines, 1);
  EXPECT_EQ(Step.SummaryLines.back(), "OK: App.RES");
  EXPECT_EQ(Step.Results.size(), 3u);         // command, banner, the last line again
  parse({"banner", "App.rc(2) Error: bad"});  // no new file written
  EXPECT_FALSE(Step.Success);
  EXPECT_EQ(Step.SummaryLines.back(), "ERR: App.RES App.rc(2) Error: bad");
}

// A save that a full disk or a kill interrupts at any step leaves Files.ini
// as it was, never a part of the new one; the backup is a copy of the old.
TEST_F(BuildTest, ASaveInterruptedAtAnyStepLeavesFilesIniWhole) {
  std::vector<std::string> entries;
  for (const char* name : {"A", "B", "C"}) {
    WriteProgram(name);
    entries.push_back(Entry(std::string(name) + ".EXE", std::string(name) + ".dpr"));
  }
  WriteFilesIni({"HaltOnError=1"}, entries, {"[version]", "Build=12"});
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  const std::string old = ReadBytes("proj/Files.ini");
  builder.SetOption(poAutoFileIncrement, true);  // a change: Files.ini is written again
  for (const auto stage : {platform::TWriteStage::wsOpened, platform::TWriteStage::wsWritten}) {
    {
      const TFullDisk full("Files.ini", stage);
      EXPECT_FALSE(builder.SaveProject());
    }
    EXPECT_EQ(ReadBytes("proj/Files.ini"), old);
    EXPECT_TRUE(builder.Store().LastError.starts_with("Failed to store project filelist " + Project + ": "))
        << builder.Store().LastError;
#ifndef _WIN32
    EXPECT_TRUE(KilledWhileWriting([&] { builder.SaveProject(); }, "Files.ini", stage));
    EXPECT_EQ(ReadBytes("proj/Files.ini"), old);
#endif
  }
  ASSERT_TRUE(builder.SaveProject());
  EXPECT_EQ(ReadBytes("proj/Files.~ni"), old);
  EXPECT_TRUE(Holds(ReadBytes("proj/Files.ini"), "AutoFileIncrement=1\r\n"));
  EXPECT_TRUE(Holds(ReadBytes("proj/Files.ini"), "[version]\r\nBuild=12\r\n"));
  TBuilderClass reloaded;
  ASSERT_TRUE(reloaded.LoadProject(Project));
  EXPECT_EQ(reloaded.FileList().Count(), 3);
  EXPECT_TRUE(reloaded.GetOption(poAutoFileIncrement));
}

#ifndef _WIN32
// A setting file that cannot be read (here a pipe) fails its entry with the
// reason, before anything of it is run; the next entry builds.
TEST_F(BuildTest, ASettingThatCannotBeReadFailsItsEntry) {
  WriteProgram("A");
  WriteProgram("B");
  ASSERT_EQ(::mkfifo(Path("src/A.config").c_str(), 0600), 0);
  WriteFilesIni({}, {Entry("A.EXE", "A.dpr"), Entry("B.EXE", "B.dpr")},
                {"[" + Path("src/A.dpr") + "]", "ConfigFile=" + Path("src/A.config")});
  TBuilderClass builder;
  builder.LoadProject(Project);
  EXPECT_EQ(builder.LoadReports, 1);
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_EQ(builder.ErrCount, 1);
  EXPECT_EQ(builder.OKCount, 1);
  EXPECT_FALSE(Exists("out/A.EXE"));
  EXPECT_TRUE(Holds(ReadBytes("proj/Summary.log"), "ERR: A.EXE Failed to read " + Path("src/A.config") + ": "));
  EXPECT_EQ(builder.RunStatus(true), 2);
}
#endif

// The window replaces its build run object by a new one, and a test or a
// front end may hold two: each hears the reports of its own store only, and
// the shared store reports to neither.
TEST(BuilderStoreListener, EachBuildRunObjectHearsItsOwnStore) {
  std::vector<std::string> first, second;
  auto older = std::make_unique<TBuilderClass>();
  TBuilderClass newer;
  older->OnProjectHalt = [&](const std::string&, const std::string& message) { first.push_back(message); };
  newer.OnProjectHalt = [&](const std::string&, const std::string& message) { second.push_back(message); };
  older->Store().ReportError("to the older");
  newer.Store().ReportError("to the newer");
  Persistence().ReportError("to nobody");
  EXPECT_EQ(first, std::vector<std::string>{"to the older"});
  EXPECT_EQ(second, std::vector<std::string>{"to the newer"});
  older.reset();
  newer.Store().ReportError("still heard");
  EXPECT_EQ(second.back(), "still heard");
}

}  // namespace
