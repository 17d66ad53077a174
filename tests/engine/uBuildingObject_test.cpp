#include "engine/uBuildingObject.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "engine/DOSToMemo.h"
#include "ide/IDELibPath.h"
#include "platform/FileSystem.h"
#include "platform/ProfileCache.h"
#include "support/TestDir.h"
#include "support/TestProject.h"
#include "version/uVersionInformation.h"

namespace {

std::vector<std::string> LinesOf(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0, end;
  while ((end = bytes.find("\r\n", start)) != std::string::npos) {
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

// A text that a pattern matches literally (a Windows path holds backslashes).
std::string Literally(const std::string& text) {
  static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  return std::regex_replace(text, special, R"(\$&)");
}

bool Matches(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

// A project with its own directory, sources under src/ and targets under out/,
// built with the stand-in tools found on the PATH.
class BuildTest : public TTestDir {
 protected:
  void SetUp() override {
    TTestDir::SetUp();
    SetEnv("WINEPREFIX", Path("no-wine"));
    PrependToPath(BinDir());
    Persistence().MasterCopyDirs = {Path("no-masters")};
    Persistence().LibraryPathPrompt = &Prompt;
    platform::ForgetSharedProfiles();
    Project = Path("proj");
  }
  void TearDown() override {
    Persistence().LibraryPathPrompt = nullptr;
    TTestDir::TearDown();
  }

  void WriteProgram(const std::string& name = "App") {
    WriteBytes("src/" + name + ".dpr",
               CrLf({"program " + name + ";", "uses", "  Unit1 in 'Unit1.pas';", "{$R *.RES}", "begin", "end."}));
    WriteBytes("src/Unit1.pas", CrLf({"unit Unit1;", "interface", "{$MESSAGE HINT 'mind this'}", "implementation",
                                      "{$MESSAGE WARN 'careful'}", "end."}));
  }

  // Files.ini with the given option lines and file list lines (target=source).
  void WriteFilesIni(const std::vector<std::string>& options, const std::vector<std::string>& entries,
                     const std::vector<std::string>& more = {}) {
    std::vector<std::string> lines{"[options]"};
    lines.insert(lines.end(), options.begin(), options.end());
    lines.push_back("[FileList]");
    for (const std::string& e : entries) lines.push_back(e);
    lines.insert(lines.end(), more.begin(), more.end());
    WriteBytes("proj/Files.ini", CrLf(lines));
  }

  std::string Entry(const std::string& target, const std::string& source) {
    return Path("out/" + target) + "=" + Path("src/" + source);
  }

  TFixedLibraryPathPrompt Prompt{std::string("5")};
  std::string Project;
};

TEST_F(BuildTest, BuildsAProgramAndLeavesEveryFileAndLog) {
  WriteProgram();
  WriteBytes("src/App.ver", CrLf({"[version]", "Major=1", "Minor=2", "Build=4", "Company=Acme"}));
  WriteFilesIni({"AutoFileIncrement=1", "CheckVersion=1"}, {Entry("App.EXE", "App.dpr")});

  TBuilderClass builder;
  builder.ProjectName = "Demo";
  std::vector<std::string> seen;
  builder.OnProjectStart = [&](const std::string& line, const std::string&) { seen.push_back("start " + line); };
  builder.OnCompileStart = [&](const std::string& s, const std::string& d, const std::string&) {
    seen.push_back("compile " + s + " " + d);
  };
  builder.OnCompileEnd = [&](const std::string&, const std::string&, const std::string& last, bool ok, int lines,
                             int hints, int warnings, int errors, int fatal) {
    seen.push_back("end " + std::to_string(ok) + " " + std::to_string(lines) + " " + std::to_string(hints) + " " +
                   std::to_string(warnings) + " " + std::to_string(errors) + " " + std::to_string(fatal) + " " + last);
  };
  builder.OnProjectDone = [&](const std::string& name, int ok, int err, int lines, int, int, int, int) {
    seen.push_back("done " + name + " " + std::to_string(ok) + " " + std::to_string(err) + " " + std::to_string(lines));
  };
  ASSERT_TRUE(builder.LoadProject(Project));
  ASSERT_EQ(builder.FileList().Count(), 1);
  ASSERT_TRUE(builder.RunBuild());

  ASSERT_EQ(seen.size(), 4u);
  EXPECT_TRUE(Matches(seen[0], "start Build defined in " + Literally(Project) +
                                   " started \\w{3}, \\d\\d \\w{3} \\d{4}  "
                                   "\\d\\d:\\d\\d:\\d\\d\r\n"))
      << seen[0];
  EXPECT_EQ(seen[1], "compile " + Path("src/App.dpr") + " " + Path("out/App.EXE"));
  EXPECT_TRUE(Matches(seen[2], "end 1 12 1 1 0 0 12 lines, .*")) << seen[2];
  EXPECT_EQ(seen[3], "done Demo 1 0 12");

  // The configuration beside the source: options, then the library path switches.
  EXPECT_EQ(ReadBytes("src/App.cfg").substr(0, 11), "-W+\r\n-B\r\n-$");
  EXPECT_NE(ReadBytes("src/App.cfg").find("-U\" ;\"\r\n"), std::string::npos);
  // Build 4 of the local file became 5, in the file and in the script.
  EXPECT_NE(ReadBytes("src/App.ver").find("Build=5"), std::string::npos);
  EXPECT_NE(ReadBytes("src/App.RC").find("FILEVERSION 1, 2, 0, 5\r\n"), std::string::npos);
  EXPECT_TRUE(Exists("src/App.RES"));
  TVersionInformation& reader = VersionInformation();
  reader.LoadVersionInfo(Path("out/App.EXE"));
  ASSERT_TRUE(reader.Loaded) << reader.ErrorText;
  EXPECT_EQ(reader.GetVersionString("FileVersion"), "1.2.0.5");
  EXPECT_EQ(reader.GetVersionString("CompanyName"), "Acme");

  const auto summary = LinesOf(ReadBytes("proj/Summary.log"));
  ASSERT_EQ(summary.size(), 6u) << ReadBytes("proj/Summary.log");
  EXPECT_EQ(summary[0], "  auto res file creation OK: App.RES");
  EXPECT_EQ(summary[1],
            "OK: App.EXE Lines: 12,  Hints: 1,  Warnings: 1,  Errors: 0,   Fatal: 0 VerInfo: 1.2.0.5; ...0; 0; ; "
            "Acme; ; ; ; ; ; ; ");
  EXPECT_EQ(summary[2], "");
  EXPECT_EQ(summary[3], "");
  EXPECT_TRUE(Matches(summary[4], "Tesmar done:    Time: \\d+\\.\\d\\d seconds")) << summary[4];
  EXPECT_EQ(summary[5], "Final result is 1 OK, 0 ERR.   Lines: 12,  Hints: 1,  Warnings: 1,  Errors: 0,   Fatal: 0");

  const auto log = LinesOf(ReadBytes("proj/Compile.log"));
  ASSERT_GE(log.size(), 8u);
  // The output directory in its short form (on Windows; the name itself elsewhere).
  EXPECT_EQ(log[0], "DCC32.exe App.dpr -E" + platform::ShortPathName(Path("out/")));
  const auto lastOutput = std::find_if(log.begin(), log.end(),
                                       [](const std::string& l) { return l.find(" lines, ") != std::string::npos; });
  ASSERT_NE(lastOutput, log.end());
  EXPECT_EQ(*(lastOutput + 1), *lastOutput);  // the last line stands twice
  EXPECT_TRUE(Matches(*(lastOutput + 2), "   Time: \\d+\\.\\d\\d seconds"));
  EXPECT_EQ(*(lastOutput + 3), "Done: App.dpr");
  EXPECT_EQ(*(lastOutput + 4), " from " + Path("out/App.EXE"));
  EXPECT_EQ(*(lastOutput + 5), "FileVersion = 1.2.0.5");
  for (const std::string& line : log) EXPECT_FALSE(Matches(line, ".*\\(\\d+\\)")) << "progress line kept: " << line;

  EXPECT_EQ(LinesOf(ReadBytes("proj/Hint.log")), std::vector<std::string>{"Unit1.pas(3) Hint: mind this"});
  EXPECT_EQ(LinesOf(ReadBytes("proj/Warning.log")), std::vector<std::string>{"Unit1.pas(5) Warning: careful"});
  EXPECT_EQ(ReadBytes("proj/Error.log"), "");

  const auto events = LinesOf(ReadBytes("proj/Events.log"));
  EXPECT_TRUE(Matches(events[0], "Build defined in " + Literally(Project) + " started .*"));
  EXPECT_EQ(events[1], "");
  EXPECT_EQ(events[2], "");
  EXPECT_EQ(events[3], "Start: " + Path("src/App.dpr"));
  EXPECT_EQ(events[4], "  --> " + Path("out/App.EXE"));
  EXPECT_TRUE(Matches(events[5], "   --> App.dpr compile started \\w{3}, \\d\\d \\w{3} \\d{4}  \\d\\d:\\d\\d:\\d\\d"));
  // The summary is named "Summary.log." and stored without the dot.
  const auto files = Listing("proj");
  EXPECT_NE(std::find(files.begin(), files.end(), "Summary.log"), files.end());
  EXPECT_EQ(std::find(files.begin(), files.end(), "Summary.log."), files.end());
}

// The group file Default.ver keeps its number: the project's own number goes
// into Files.ini, and the reload takes the group's again. With Files.ini as the
// group file, the first entry of a run moves it on for every entry; a local
// file moves on for its own entry.
TEST_F(BuildTest, BuildNumbersOfTheGroupFileTheProjectFileAndALocalFile) {
  WriteProgram("A");
  WriteProgram("B");
  WriteProgram("C");
  WriteBytes("proj/Default.ver", CrLf({"[version]", "Major=2", "Build=7"}));
  WriteBytes("src/A.ver", CrLf({"[version]", "Minor=1"}));
  WriteFilesIni({"AutoFileIncrement=1"}, {Entry("A.EXE", "A.dpr")});
  for (int run = 1; run <= 2; ++run) {
    TBuilderClass builder;
    ASSERT_TRUE(builder.LoadProject(Project));
    ASSERT_TRUE(builder.RunBuild());
    EXPECT_NE(ReadBytes("src/A.RC").find("FILEVERSION 2, 1, 0, 7\r\n"), std::string::npos) << run;
    EXPECT_NE(ReadBytes("proj/Files.ini").find("[version]\r\nBuild=8\r\n"), std::string::npos) << run;
  }
  EXPECT_EQ(ReadBytes("proj/Default.ver"), CrLf({"[version]", "Major=2", "Build=7"}));

  const std::string filesIni = "GroupVerInfo=" + Path("proj/Files.ini");
  WriteBytes("src/C.ver", CrLf({"[version]", "Build=4"}));
  WriteFilesIni(
      {"AutoFileIncrement=1"}, {Entry("B.EXE", "B.dpr"), Entry("C.EXE", "C.dpr")},
      {"[" + Path("src/B.dpr") + "]", filesIni, "[" + Path("src/C.dpr") + "]", filesIni, "[version]", "Build=7"});
  for (int run = 1; run <= 2; ++run) {
    TBuilderClass builder;
    ASSERT_TRUE(builder.LoadProject(Project));
    ASSERT_TRUE(builder.RunBuild());
    for (const char* rc : {"src/B.RC", "src/C.RC"})
      EXPECT_NE(ReadBytes(rc).find("FILEVERSION 0, 0, 0, " + std::to_string(7 + run) + "\r\n"), std::string::npos)
          << rc << " run " << run;
  }
  // C's group number is set, so its local file is not the one moved on.
  EXPECT_EQ(ReadBytes("src/C.ver"), CrLf({"[version]", "Build=4"}));

  WriteFilesIni({"AutoFileIncrement=1"}, {Entry("C.EXE", "C.dpr")},
                {"[" + Path("src/C.dpr") + "]", "GroupVerInfo=" + Path("src/empty-group.ver")});
  for (int run = 1; run <= 2; ++run) {
    TBuilderClass builder;
    ASSERT_TRUE(builder.LoadProject(Project));
    ASSERT_TRUE(builder.RunBuild());
    EXPECT_NE(ReadBytes("src/C.RC").find("FILEVERSION 0, 0, 0, " + std::to_string(4 + run) + "\r\n"), std::string::npos)
        << run;
  }
  EXPECT_EQ(ReadBytes("src/C.ver"), CrLf({"[version]", "Build=6"}));
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
  ASSERT_TRUE(builder.LoadProject(Project));
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_EQ(builder.OKCount, 1) << ReadBytes("my proj/Compile.log");
  EXPECT_TRUE(builder.CompileStep().VersionStamped);
  EXPECT_TRUE(platform::FileExists(Path("my out/App.EXE")));
  EXPECT_EQ(LinesOf(ReadBytes("my proj/Compile.log"))[0],
            "\"" + Path("my tools") + "/DCC32.exe\" App.dpr \"-E" + Path("my out") + "/\"");
}

// A processing line that runs past the time limit is ended, and its entry
// fails with the line that says so.
TEST_F(BuildTest, AProcessingLineEndedByTheTimeLimitFailsItsEntry) {
  WriteProgram();
  WriteBytes("proj/Default.after", CrLf({"sleep 30"}));
  WriteFilesIni({}, {Entry("App.EXE", "App.dpr")});
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  const double before = SetRunTimeLimit(0.5);
  ASSERT_TRUE(builder.RunBuild());
  SetRunTimeLimit(before);
  EXPECT_EQ(builder.ErrCount, 1);
  EXPECT_EQ(builder.CompileStep().LastLine, "sleep was ended: it ran longer than 0.5 seconds");
  EXPECT_TRUE(platform::FileExists(Path("out/App.EXE")));  // the compiler itself had finished
}

#endif

TEST_F(BuildTest, HaltRequestFromTheHaltEventStopsBeforeTheNextEntry) {
  WriteProgram("A");
  WriteBytes("src/Bad.dpr", CrLf({"program Bad;", "uses Missing;", "begin", "end."}));
  WriteProgram("C");
  WriteFilesIni({"HaltOnError=1"}, {Entry("A.EXE", "A.dpr"), Entry("Bad.EXE", "Bad.dpr"), Entry("C.EXE", "C.dpr")});
  TBuilderClass builder;
  builder.ProjectName = "P";
  std::vector<std::string> halts;
  builder.OnProjectHalt = [&](const std::string&, const std::string& message) {
    halts.push_back(message);
    if (message.find("Fatal:") != std::string::npos) builder.HaltRequest = true;
  };
  int done = 0;
  builder.OnProjectDone = [&](const std::string&, int ok, int err, int, int, int, int, int) {
    ++done;
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(err, 1);
  };
  ASSERT_TRUE(builder.LoadProject(Project));
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_EQ(done, 1);
  EXPECT_FALSE(platform::FileExists(Path("out/C.EXE")));
  ASSERT_FALSE(halts.empty());
  EXPECT_EQ(halts.back(), "Bad.dpr(2) Fatal: File not found: 'Missing.dcu'");
  const std::string events = ReadBytes("proj/Events.log");
  EXPECT_NE(events.find("P would have been halted: " + halts.back() + "\r\n\r\nProject Halted:    Time: "),
            std::string::npos);
  EXPECT_NE(events.find("P Halted: " + halts.back()), std::string::npos);
  const auto summary = LinesOf(ReadBytes("proj/Summary.log"));
  EXPECT_EQ(summary.back(),
            "Final result is 1 OK, 1 ERR.   Lines: 13,  Hints: 1,  Warnings: 1,  Errors: 0,   Fatal: 2");
  EXPECT_EQ(LinesOf(ReadBytes("proj/Error.log")),
            (std::vector<std::string>{halts.back(), halts.back()}));  // the repeated last line counts too
}

TEST_F(BuildTest, WithoutAStopEveryEntryRunsAndFailuresAreOnlyNoted) {
  WriteBytes("src/Bad.dpr", CrLf({"program Bad;", "uses Missing;", "begin", "end."}));
  WriteProgram("C");
  WriteFilesIni({}, {Entry("Bad.EXE", "Bad.dpr"), Entry("C.EXE", "C.dpr")});
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_EQ(builder.OKCount, 1);
  EXPECT_EQ(builder.ErrCount, 1);
  EXPECT_TRUE(platform::FileExists(Path("out/C.EXE")));
  const std::string events = ReadBytes("proj/Events.log");
  EXPECT_NE(events.find("\r\n would have been halted: Bad.dpr(2) Fatal: "), std::string::npos);
  EXPECT_EQ(events.find("Project Halted"), std::string::npos);
  EXPECT_NE(ReadBytes("proj/Summary.log")
                .find("ERR: Bad.EXE Lines: 1,  Hints: 0,  Warnings: 0,  Errors: 0,   Fatal: 2 "
                      "Bad.dpr(2) Fatal: File not found: 'Missing.dcu'\r\n"),
            std::string::npos);
}

TEST_F(BuildTest, SingleFileRunsOneEntryAndABadIndexEndsTheRunWithoutLogs) {
  WriteProgram("A");
  WriteProgram("B");
  WriteFilesIni({}, {Entry("A.EXE", "A.dpr"), Entry("B.EXE", "B.dpr")});
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  builder.SingleFile = true;
  builder.SingleIndex = 1;
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_FALSE(platform::FileExists(Path("out/A.EXE")));
  EXPECT_TRUE(platform::FileExists(Path("out/B.EXE")));
  const std::string summary = ReadBytes("proj/Summary.log");

  std::string halt;
  builder.OnProjectHalt = [&](const std::string&, const std::string& message) { halt = message; };
  bool done = false;
  builder.OnProjectDone = [&](const std::string&, int, int, int, int, int, int, int) { done = true; };
  builder.SingleIndex = -1;
  EXPECT_FALSE(builder.RunBuild());
  EXPECT_EQ(halt, "Exception thrown in Tesmar: List index out of bounds (-1)");
  EXPECT_FALSE(done);
  EXPECT_EQ(ReadBytes("proj/Summary.log"), summary);  // the previous run's logs stay
}

TEST_F(BuildTest, EmptyFileListStillWritesEveryLog) {
  WriteFilesIni({}, {});
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  int done = 0;
  builder.OnProjectDone = [&](const std::string&, int ok, int err, int lines, int, int, int, int) {
    done += 1 + ok + err + lines;
  };
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_EQ(done, 1);
  for (const char* name : {"Compile.log", "Error.log", "Warning.log", "Hint.log"})
    EXPECT_EQ(ReadBytes(std::string("proj/") + name), "") << name;
  const auto summary = LinesOf(ReadBytes("proj/Summary.log"));
  ASSERT_EQ(summary.size(), 3u);
  EXPECT_EQ(summary[0], "");
  EXPECT_EQ(summary[2], "Final result is 0 OK, 0 ERR.   Lines: 0,  Hints: 0,  Warnings: 0,  Errors: 0,   Fatal: 0");
  EXPECT_EQ(ReadBytes("proj/started.dat"), "");

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
  ASSERT_TRUE(builder.LoadProject(Project));
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_EQ(builder.ErrCount, 1);
  EXPECT_NE(std::find(notes.begin(), notes.end(),
                      "  Before Compile  line 0 failed: no-such-program-here --flag   Error Code 2: DOS redirected  "
                      "failed: WINAPI Error Code = 2\r\n"),
            notes.end());
  EXPECT_NE(std::find(notes.begin(), notes.end(), "before " + Path("src/App.dpr") + "\r\n"), notes.end());
  // A tool that crashed was started: its empty output judges the entry.
  EXPECT_NE(ReadBytes("proj/Summary.log")
                .find("ERR: App.EXE Lines: 1,  Hints: 0,  Warnings: 0,  Errors: 0,   "
                      "Fatal: 0 \r\n"),  // the script run counted its one line
            std::string::npos)
      << ReadBytes("proj/Summary.log");

  // A missing tool is a run that was not started.
  std::filesystem::remove(Path("tools/DCC32.exe"));
  ASSERT_TRUE(builder.RunBuild());
  const auto log = LinesOf(ReadBytes("proj/Compile.log"));
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

TEST_F(BuildTest, ReadOnlyResWithIgnoreResFileErrorsIsNotReplaced) {
  WriteProgram();
  WriteFilesIni({"ReplaceReadOnlyCFGRESVER=1"}, {Entry("App.EXE", "App.dpr")});
  {
    TBuilderClass first;
    ASSERT_TRUE(first.LoadProject(Project));
    ASSERT_TRUE(first.RunBuild());
  }
  const std::string res = ReadBytes("src/App.RES");
  platform::SetReadOnly(Path("src/App.RES"), true);
  WriteBytes("src/App.ver", CrLf({"[version]", "Major=9"}));
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_EQ(ReadBytes("src/App.RES"), res);
  const std::string summary = ReadBytes("proj/Summary.log");
  EXPECT_EQ(summary.find("auto res file creation"), std::string::npos);
  EXPECT_NE(summary.find("OK: App.EXE"), std::string::npos);
}

TEST_F(BuildTest, PackagesMergeTheirDirectivesAndResourceScriptsCompile) {
  WriteBytes("src/Pack.dpk", CrLf({"package Pack;", "", "{$R *.RES}", "{$ALIGN OFF}", "requires", "  rtl;", "end."}));
  WriteBytes("src/Extra.rc", CrLf({"1 RCDATA { 1, 2, 3 }"}));
  WriteBytes("proj/Default.DPKConfig", CrLf({"$ALIGN ON", "$NEWONE ON", "$OTHER 2"}));
  WriteFilesIni({}, {Entry("Pack.BPL", "Pack.dpk"), Entry("Extra.RC", "Extra.rc")});
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_EQ(ReadBytes("src/Pack.dpk"), CrLf({"package Pack;", "", "{$R *.RES}", "$OTHER 2", "$NEWONE ON", "$ALIGN ON",
                                             "requires", "  rtl;", "end."}));
  EXPECT_TRUE(Exists("src/Extra.RES"));
  EXPECT_NE(ReadBytes("proj/Summary.log").find("\r\nOK: Extra.RES\r\n"), std::string::npos);
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
            "ERR: App.EXE Lines: 0,  Hints: 0,  Warnings: 0,  Errors: 2,   Fatal: 0 "
            "Error: something else\r\n");
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
  EXPECT_EQ(Step.Results.size(), 3u);  // command, banner, the last line again
}

TEST_F(CompileStepTest, PackageDirectivesReplaceOrAreInserted) {
  TProjectSettings settings(nullptr, "", "", Root);
  settings.Memory[stDPKConfig] = CrLf({"$A ON", "$B OFF", "", "$C 1"});
  Step.Settings = &settings;
  Step.PackageSource = {"package P;", "{$A OFF}", "requires"};
  Step.MergePackageDirectives(Path("P.dpk"));
  EXPECT_EQ(ReadBytes("P.dpk"), CrLf({"package P;", "$A ON", "requires", "$C 1", "", "$B OFF"}));

  Step.PackageSource = {"package Q;"};  // too short for the fourth line: appended
  Step.MergePackageDirectives(Path("Q.dpk"));
  EXPECT_EQ(ReadBytes("Q.dpk"), CrLf({"package Q;", "$A ON", "$B OFF", "$C 1", ""}));

  settings.Memory[stDPKConfig] = CrLf({"$A ON"});
  Step.PackageSource = {"package R;", "{$A OFF}"};
  Step.MergePackageDirectives(Path("R.dpk"));
  EXPECT_FALSE(Exists("R.dpk"));  // everything replaced in memory: the file is not rewritten
}

}  // namespace

namespace {

TEST_F(BuildTest, AnEntryWhoseDirectoryCannotBeEnteredCountsAsAnError) {
  WriteFilesIni({}, {Entry("Gone.RC", "gone/Gone.rc")});
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  bool ended = false;
  builder.OnCompileEnd = [&](const std::string&, const std::string&, const std::string&, bool, int lines, int, int, int,
                             int) {
    ended = true;
    EXPECT_EQ(lines, 0);
  };
  ASSERT_TRUE(builder.RunBuild());
  EXPECT_TRUE(ended);
  EXPECT_EQ(builder.ErrCount, 1);
  const auto log = LinesOf(ReadBytes("proj/Compile.log"));
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], "Compile Notify: chdir to " + Path("src/gone/Gone.rc") + "failed: ");
  EXPECT_EQ(platform::GetCurrentDir(), Project);
}

}  // namespace

namespace {

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

namespace {

class SaveTest : public TProjectTest {};

// A save that would write Files.ini as it stands leaves every file alone; a
// real change is saved as before, with the old file moved aside.
TEST_F(SaveTest, AnUnchangedProjectIsSavedWithoutWritingOrRenamingAnything) {
  WriteProgram();
  WriteFilesIni({"HaltOnError=0"}, {Entry("App.EXE", "App.dpr")}, {"[version]", "Build=7"});
  TBuilderClass builder;
  ASSERT_TRUE(builder.LoadProject(Project));
  ASSERT_TRUE(builder.SaveProject());  // the first save rebuilds the file
  const std::string saved = ReadBytes("proj/Files.ini");
  EXPECT_NE(saved.find("[version]\r\nBuild=7\r\n"), std::string::npos);
  const platform::TFileIdentity ini = platform::FileIdentity(Path("proj/Files.ini"));
  const platform::TFileIdentity backup = platform::FileIdentity(Path("proj/Files.~ni"));
  const platform::TFileIdentity config = platform::FileIdentity(Path("src/App.cfg"));
  ASSERT_TRUE(ini.Exists && backup.Exists && config.Exists);

  ASSERT_TRUE(builder.SaveProject());
  EXPECT_EQ(platform::FileIdentity(Path("proj/Files.ini")), ini);
  EXPECT_EQ(platform::FileIdentity(Path("proj/Files.~ni")), backup);
  EXPECT_EQ(platform::FileIdentity(Path("src/App.cfg")), config);

  builder.SetOption(poHaltOnError, true);
  ASSERT_TRUE(builder.SaveProject());
  EXPECT_NE(ReadBytes("proj/Files.ini").find("HaltOnError=1"), std::string::npos);
  EXPECT_EQ(ReadBytes("proj/Files.~ni"), saved);
}

}  // namespace
