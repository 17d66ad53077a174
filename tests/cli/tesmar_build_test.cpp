#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/TesmarBuildMain.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/Faults.h"
#include "support/TestProject.h"
#include "support/ToolsTest.h"
#include "version/ProgramVersion.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool Matches(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

struct TRun {
  int Status = -1;
  std::string Out, Err;
};

const char* const HintProgram = "program App;\r\n{$R *.RES}\r\n{$MESSAGE HINT 'mind this'}\r\nbegin\r\nend.\r\n";
const char* const PlainProgram = "program Tool;\r\n{$R *.RES}\r\nbegin\r\nend.\r\n";
const char* const BrokenProgram =
    "program Bad;\r\n{$R *.RES}\r\n{$MESSAGE ERROR 'broken on purpose'}\r\nbegin\r\nend.\r\n";

// Projects in the test directory, built by tesmar-build run in this process
// with the stand-in tools first on the PATH.
class TesmarBuildTest : public TProjectTest {
 protected:
  void SetUp() override {
    TProjectTest::SetUp();
    SetEnv("TESMAR_INI", Path("tesmar.ini"));
  }
  TEnvScope Ini{"TESMAR_INI"};

  TRun Run(std::vector<std::string> args, bool terminal = false) {
    args.insert(args.begin(), "tesmar-build");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    const int status = RunTesmarBuild(static_cast<int>(args.size()), argv.data(), out, err, terminal);
    return {status, out.str(), err.str()};
  }

  // A project in proj: each source (name, text) in proj/src, targets in
  // proj/out; every source takes its version from the group file, which names
  // an icon, so that no resource report interrupts the run.
  void WriteProject(const std::vector<std::pair<std::string, std::string>>& sources, const std::string& dccPath = "") {
    std::vector<std::string> entries, sections;
    for (const auto& [name, text] : sources) {
      WriteBytes("proj/src/" + name, text);
      entries.push_back(Path("proj/out/" + name.substr(0, name.find('.')) + ".exe") + "=" + Path("proj/src/" + name));
      sections.insert(sections.end(), {"[" + Path("proj/src/" + name) + "]", "LocalVerInfo="});
    }
    WriteFilesIni({"AutoFileIncrement=1", "HaltOnError=1", "AutoResFileCreate=1", "DCCPath=" + dccPath}, entries,
                  sections);
    WriteBytes("proj/Default.path", CrLf({" "}));
    WriteBytes("proj/Default.ver", CrLf({"[version]", "Major=3", "Company=Test", "IconFileName=" + Path("app.ico")}));
    WriteBytes("app.ico", IconFile());
  }

  // A compiler in tools/ that is a shell script of the test's.
  void WriteCompiler(const std::string& script) {
    WriteBytes("tools/DCC32.exe", "#!/bin/sh\n" + script);
    std::filesystem::permissions(Path("tools/DCC32.exe"), std::filesystem::perms::owner_all);
  }
};

// The lines printed, the status and the halt reports of each kind of run; the
// last line is the summary's last.
TEST_F(TesmarBuildTest, ProgressLinesHaltReportsAndStatusOfEachKindOfRun) {
  struct TCase {
    std::vector<std::string> Options;
    std::vector<std::pair<std::string, std::string>> Sources;
    int Status;
    std::vector<std::string> Out;  // patterns
    bool ToolBuilt;
  };
  const std::string ok = R"(: OK, [1-9]\d* lines, )", bad = R"(\[2/3\] Bad\.dpr -> Bad\.exe: ERR, )";
  const TCase cases[] = {
      {{},
       {{"App.dpr", HintProgram}, {"Tool.dpr", PlainProgram}},
       0,
       {R"(\[1/2\] App\.dpr -> App\.exe)" + ok + "1 hints, 0 warnings, 0 errors",
        R"(\[2/2\] Tool\.dpr -> Tool\.exe)" + ok + "0 hints, 0 warnings, 0 errors",
        R"(Final result is 2 OK, 0 ERR\.   Lines: \d+,  Hints: 1,  Warnings: 0,  Errors: 0,   Fatal: 0)"},
       true},
      {{},
       {{"App.dpr", HintProgram}, {"Bad.dpr", BrokenProgram}, {"Tool.dpr", PlainProgram}},
       1,
       {R"(\[1/3\] App\.dpr.*)", bad + R"(\d+ lines, 0 hints, 0 warnings, [1-9]\d* errors)",
        R"(\[3/3\] Tool\.dpr -> Tool\.exe)" + ok + ".*", R"(Final result is 2 OK, 1 ERR\..*)"},
       true},
      {{"--halt-on-error"},
       {{"App.dpr", HintProgram}, {"Bad.dpr", BrokenProgram}, {"Tool.dpr", PlainProgram}},
       1,
       {R"(\[1/3\] App\.dpr.*)", bad + ".*", R"(Final result is 1 OK, 1 ERR\..*)"},
       false},
      {{"--quiet"},
       {{"Bad.dpr", BrokenProgram}, {"Tool.dpr", PlainProgram}},
       1,
       {R"(Final result is 1 OK, 1 ERR\..*)"},
       true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Options.empty() ? "plain" : c.Options[0]);
    std::filesystem::remove_all(Path("proj"));
    WriteProject(c.Sources);
    std::vector<std::string> args = c.Options;
    args.push_back(Path("proj"));
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, c.Status) << run.Err;
    EXPECT_EQ(run.Err, c.Status ? "halt: Bad.dpr(3) Error: broken on purpose\n" : "");
    const auto out = Lines(run.Out);
    ASSERT_EQ(out.size(), c.Out.size()) << run.Out;
    for (std::size_t i = 0; i < out.size(); ++i) EXPECT_TRUE(Matches(out[i], c.Out[i])) << out[i];
    EXPECT_EQ(Exists("proj/out/Tool.exe"), c.ToolBuilt);
    EXPECT_EQ(Lines(ReadBytes("proj/Summary.log")).back(), out.back());
  }
}

TEST_F(TesmarBuildTest, OneFileOfTheListByFullPathOrBareName) {
  WriteProject({{"App.dpr", HintProgram}, {"Tool.dpr", PlainProgram}});
  TRun run = Run({"--file", "Other.dpr", Path("proj")});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, "tesmar-build: Other.dpr is not in the file list of " + Path("proj") + "\n");
  EXPECT_FALSE(Exists("proj/Compile.log"));

  run = Run({"--file", Path("proj/src/TOOL.dpr"), Path("proj")});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(Matches(run.Out, R"(\[1/1\] Tool\.dpr -> Tool\.exe: OK.*\nFinal result is 1 OK, 0 ERR\..*\n)"))
      << run.Out;
  EXPECT_FALSE(Exists("proj/out/App.exe"));

  std::filesystem::remove_all(Path("proj/out"));
  run = Run({"--file=app.dpr", Path("proj")});  // the first: the one after it stays unbuilt
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(run.Out.starts_with("[1/1] App.dpr -> App.exe: OK")) << run.Out;
  EXPECT_FALSE(Exists("proj/out/Tool.exe"));
}

TEST_F(TesmarBuildTest, AProjectThatCannotBeLoadedOrARunEndedByAFailureGivesStatusTwo) {
  WriteBytes("plain.txt", "not a directory\r\n");
  TRun run = Run({Path("plain.txt")});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "tesmar-build: " + Path("plain.txt") + " is not a directory\n");

  // Only a project is built: a catalogue entry whose directory cannot be, a
  // directory without Files.ini, a Files.ini that is a link to nothing or
  // holds no project. Nothing is written into them.
  WriteBytes("tesmar.ini", CrLf({"[Projects]", "Broken=" + Path("plain.txt/sub")}));
  WriteBytes("empty/.keep", "");
  WriteBytes("none/Files.ini", CrLf({"[version]", "Build=3"}));
  const std::string gone = Path("share/Files.ini");
  std::error_code noSymlinks;
  std::filesystem::create_directory(Path("unmounted"));
  std::filesystem::create_symlink(gone, Path("unmounted/Files.ini"), noSymlinks);
  for (const auto& [project, said] : std::vector<std::pair<std::string, std::string>>{
           {"Broken", "no Files.ini in " + Path("plain.txt/sub") + ": not a project"},
           {Path("empty"), "no Files.ini in " + Path("empty") + ": not a project"},
           {Path("none"), Path("none/Files.ini") + " holds no project: neither [options] nor [FileList]"},
           {Path("unmounted"),
            noSymlinks ? "no Files.ini in " + Path("unmounted") + ": not a project"
                       : Path("unmounted/Files.ini") + " is a link to " + gone + ", which does not exist"}}) {
    run = Run({"--json", Path("r.json"), project});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, "tesmar-build: " + said + "\n");
    EXPECT_FALSE(Exists("r.json"));
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Path("empty")), {}), 1);
  EXPECT_EQ(ReadBytes("none/Files.ini"), CrLf({"[version]", "Build=3"}));

  // A target without a directory ends the run.
  WriteProject({{"App.dpr", HintProgram}});
  WriteBytes("proj/Files.ini", CrLf({"[options]", "[FileList]", "App.exe=" + Path("proj/src/App.dpr")}));
  run = Run({Path("proj")});
  EXPECT_EQ(run.Status, 2);
  EXPECT_TRUE(run.Err.starts_with("halt: Exception thrown in Tesmar: ")) << run.Err;
  EXPECT_TRUE(run.Err.ends_with("tesmar-build: the run ended by a failure; no logs were written\n")) << run.Err;
  EXPECT_EQ(run.Out, "");
  EXPECT_FALSE(Exists("proj/Summary.log"));
}

// The reports for build servers: the JSON report with each entry's compiler
// messages, and the JUnit report. A message in Windows-1252 ("M\xFCller")
// reaches the JSON report with a replacement character instead of breaking it.
TEST_F(TesmarBuildTest, JsonAndJUnitReportsOfTheRun) {
  WriteProject({{"App.dpr", HintProgram},
                {"Bad.dpr", BrokenProgram},
                {"Fat.dpr", "program Fat;\r\n{$MESSAGE WARN 'careful'}\r\n{$MESSAGE FATAL 'M\xFCller'}\r\nend.\r\n"},
                {"Tool.dpr", PlainProgram}});
  WriteBytes("reports/.keep", "");
  // Names relative to where the program was started.
  const TRun run = Run({"--json", "reports/run.json", "--junit", "run.xml", Path("proj")});
  ASSERT_EQ(run.Status, 1) << run.Err;
  EXPECT_TRUE(Matches(Lines(run.Out)[2],
                      R"(\[3/4\] Fat\.dpr -> Fat\.exe: ERR, \d+ lines, 0 hints, 1 warnings, 0 errors, 2 fatal)"))
      << run.Out;
  using json = nlohmann::json;
  const json report = json::parse(ReadBytes("reports/run.json"));
  EXPECT_EQ(report["project"], json({{"directory", Path("proj")}, {"name", "proj"}}));
  EXPECT_EQ(report["completed"], true);
  EXPECT_EQ(report["stopped"], false);
  EXPECT_EQ(report["exit_status"], 1);
  ASSERT_EQ(report["entries"].size(), 4u);
  const auto& app = report["entries"][0];
  EXPECT_EQ(app["source"], Path("proj/src/App.dpr"));
  EXPECT_EQ(app["target"], Path("proj/out/App.exe"));
  EXPECT_EQ(app["result"], "OK");
  EXPECT_GT(app["lines"].get<int>(), 0);
  EXPECT_EQ(app["hints"], 1);
  EXPECT_GE(app["seconds"].get<double>(), 0.0);
  const auto& bad = report["entries"][1];
  EXPECT_EQ(bad["result"], "ERR");
  EXPECT_EQ(bad["last_line"], "Bad.dpr(3) Error: broken on purpose");
  EXPECT_GT(bad["errors"].get<int>(), 0);
  const json diagnostics[] = {
      json::array({{{"kind", "Hint"}, {"file", "App.dpr"}, {"line", 3}, {"code", nullptr}, {"text", "mind this"}}}),
      json::array(
          {{{"kind", "Error"}, {"file", "Bad.dpr"}, {"line", 3}, {"code", nullptr}, {"text", "broken on purpose"}}}),
      json::array(
          {{{"kind", "Warning"}, {"file", "Fat.dpr"}, {"line", 2}, {"code", nullptr}, {"text", "careful"}},
           {{"kind", "Fatal"}, {"file", "Fat.dpr"}, {"line", 3}, {"code", nullptr}, {"text", "M\xEF\xBF\xBDller"}}}),
      json::array(),
  };
  int lines = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(report["entries"][i]["diagnostics"], diagnostics[i]) << i;
    lines += report["entries"][i]["lines"].get<int>();
  }
  const auto& totals = report["totals"];
  EXPECT_EQ(totals["ok"], 2);
  EXPECT_EQ(totals["err"], 2);
  EXPECT_EQ(totals["hints"], 1);
  EXPECT_EQ(totals["lines"], lines);
  EXPECT_EQ(report["halts"],
            json::array({"Bad.dpr(3) Error: broken on purpose", "Fat.dpr(3) Fatal: M\xEF\xBF\xBDller"}));
  EXPECT_EQ(report["logs"].size(), 6u);
  for (const auto& [kind, file] : report["logs"].items()) EXPECT_TRUE(Exists(file.get<std::string>())) << kind;
  EXPECT_EQ(report["logs"]["summary"], Path("proj/Summary.log"));
  EXPECT_EQ(report["final_line"], Lines(run.Out).back());

  // The JUnit report, whose form its own tests check, is written where asked.
  const std::string junit = ReadBytes("run.xml");
  int failures = 0;
  for (std::size_t at = 0; (at = junit.find("<failure ", at)) != std::string::npos; ++at) ++failures;
  EXPECT_EQ(failures, 2);
  EXPECT_NE(junit.find("Fat.dpr(3) Fatal: M\xEF\xBF\xBDller"), std::string::npos) << junit;
}

TEST_F(TesmarBuildTest, CatalogueNamesMatchTheFirstLineHoldingTheArgument) {
  WriteBytes("tesmar.ini",
             CrLf({"[Projects]", "First=" + Path("cat/one"), "Second=" + Path("cat/two"), "Third=" + Path("cat/x")}));
  for (const char* project : {"cat/one/Files.ini", "cat/two/Files.ini"}) WriteBytes(project, CrLf({"[FileList]"}));
  TRun run = Run({"--json", Path("r.json"), "Second"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(nlohmann::json::parse(ReadBytes("r.json"))["project"]["name"], "Second");
  EXPECT_TRUE(Exists("cat/two/Summary.log"));  // its default files set up, Default.path without asking
  EXPECT_TRUE(Exists("cat/two/Default.path"));
  EXPECT_FALSE(Exists("cat/one/Summary.log"));

  run = Run({"=" + Path("cat")});  // every line holds it: the first is built
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(Exists("cat/one/Summary.log"));
  EXPECT_EQ(Lines(run.Out),
            std::vector<std::string>{
                "Final result is 0 OK, 0 ERR.   Lines: 0,  Hints: 0,  Warnings: 0,  Errors: 0,   Fatal: 0"});

  run = Run({"second"});  // letter case counts
  EXPECT_EQ(run.Status, 2);
  EXPECT_NE(run.Err.find("no project directory second and no line of the catalogue"), std::string::npos) << run.Err;
  EXPECT_FALSE(Exists("cat/x"));
}

// The ten strings of an executable in the reader's order (none of a file
// without them), and those of tesmar-build itself.
TEST_F(TesmarBuildTest, VersionStrings) {
  const char* const names[] = {"FileVersion",  "ProductVersion", "FileDescription", "CompanyName", "Comments",
                               "InternalName", "LegalCopyright", "LegalTrademarks", "ProductName", "OriginalFilename"};
  std::vector<std::string> full, none;
  for (std::size_t i = 0; i < std::size(names); ++i) {
    full.push_back(names[i] + std::string(" = ") + FullFixtureStrings[i]);
    none.push_back(names[i] + std::string(" = "));
  }
  TRun run = Run({"--version-of", VersionFixture("full.exe")});
  EXPECT_EQ(run.Status, 0);
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(Lines(run.Out), full);

  // Only the headers and the resource section are read: a target made larger
  // than memory would hold (a sparse tail) is read as quickly.
  std::filesystem::copy_file(VersionFixture("full.exe"), Path("big.exe"));
  std::filesystem::resize_file(Path("big.exe"), 600ull << 20);
  run = Run({"--version-of", Path("big.exe")});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(Lines(run.Out), full);

  WriteBytes("notes.txt", "just text\r\n");
  run = Run({"--version-of", Path("notes.txt")});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(Lines(run.Out), none);
  EXPECT_NE(run.Err.find(Path("notes.txt")), std::string::npos) << run.Err;

  run = Run({"--version"});
  EXPECT_EQ(run.Status, 0);
  std::vector<std::string> expected;
  for (const TVersionString& v : ProgramVersionStrings(tpCommandLine)) expected.push_back(v.Name + " = " + v.Value);
  EXPECT_EQ(Lines(run.Out), expected);
  EXPECT_TRUE(Matches(ProgramVersion(), R"(\d+\.\d+\.\d+)")) << ProgramVersion();
}

TEST_F(TesmarBuildTest, CommandLineMistakesAndHelp) {
  const TRun unknown = Run({"--fast", Path(".")});
  EXPECT_EQ(unknown.Status, 2);
  EXPECT_TRUE(unknown.Err.starts_with("tesmar-build: unknown option --fast\nUsage: ")) << unknown.Err;
  for (const char* line : {"", "--json", "--quiet=yes .", "a b", "--version-of x.exe .", "--version .",
                           "--version --junit x.xml", "--junit"})
    EXPECT_EQ(Run(platform::SplitCommandLine(line)).Status, 2) << line;
  for (const char* seconds : {"0", "-1", "abc", "1e3", "nan"}) {
    const TRun timeout = Run({"--tool-timeout", seconds, Path(".")});
    EXPECT_EQ(timeout.Status, 2) << seconds;
    EXPECT_TRUE(timeout.Err.starts_with("tesmar-build: --tool-timeout needs a number of seconds greater than 0, not "))
        << timeout.Err;
  }
  const TRun help = Run({"--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_TRUE(help.Out.starts_with(
      "Usage: tesmar-build [--file SOURCE] [--halt-on-error] [--quiet] [--json FILE] [--junit FILE]\n"
      "                    [--tool-timeout SECONDS] [--no-wait] PROJECT\n"));
  EXPECT_FALSE(Exists("Files.ini"));  // nothing was built
}

// A report never takes the place of a file of the project, however it is
// named (a link, another spelling, a file the build has yet to write): the
// run is refused and nothing is written. The two reports cannot share a name.
TEST_F(TesmarBuildTest, AReportThatWouldReplaceAFileOfTheProjectIsRefused) {
  WriteProject({{"App.dpr", PlainProgram}});
  std::error_code noSymlinks;  // Wine makes none: a hard link then
  std::filesystem::create_symlink(Path("proj/src/App.dpr"), Path("source-link"), noSymlinks);
  if (noSymlinks) std::filesystem::create_hard_link(Path("proj/src/App.dpr"), Path("source-link"));
  for (const auto& [option, report, what] : std::vector<std::array<std::string, 3>>{
           {"--json", Path("proj/Files.ini"), "its Files.ini"},
           {"--junit", Path("proj/src/../Default.ver"), "the LocalVerInfo setting of App.dpr"},
           {"--json", Path("source-link"), "the source App.dpr"},
           {"--json", Path("proj/summary.log"), "a log"},
           {"--junit", Path("proj/out/App.exe"), "the target of App.dpr"},
           {"--json", Path("proj/src/App.RES"), "a file built beside App.dpr"}}) {
    const std::string before = Exists(report) ? ReadBytes(report) : "";
    const TRun run = Run({option, report, Path("proj")});
    EXPECT_EQ(run.Status, 2) << report;
    EXPECT_NE(run.Err.find(" would replace " + what + " ("), std::string::npos) << run.Err;
    EXPECT_EQ(Exists(report) ? ReadBytes(report) : "", before);
    EXPECT_FALSE(Exists("proj/Compile.log"));
  }
  EXPECT_EQ(Run({"--json", Path("r"), "--junit", Path("./r"), Path("proj")}).Status, 2);
}

// A project laid out as a new one is (the options of a new Files.ini, the
// group file Default.ver, no local version file): every run stamps its
// targets with the next build number, each report of the missing local file
// is made once for its entry, and --halt-on-error does not stop at them. A
// program that does not link the generated resource is not stamped, and says
// why.
TEST_F(TesmarBuildTest, TheDefaultLayoutStampsTheNextBuildNumberEveryRun) {
  WriteBytes("proj/src/App.dpr", PlainProgram);
  WriteBytes("proj/src/Tool.dpr", HintProgram);
  WriteFilesIni({"CheckVersion=1", "MinimizeOnBuild=0", "AutoResFileCreate=1", "AutoFileIncrement=1",
                 "AutoProdIncrement=0", "DisplayMsgOnDone=0", "ReplaceReadOnlyCFGRESVER=0", "HaltOnError=1"},
                {Path("proj/out/App.exe") + "=" + Path("proj/src/App.dpr"),
                 Path("proj/out/Tool.exe") + "=" + Path("proj/src/Tool.dpr")});
  for (int run = 1; run <= 3; ++run) {
    const TRun build = Run({"--halt-on-error", Path("proj")});
    EXPECT_EQ(build.Status, 0) << build.Err;
    for (const char* target : {"proj/out/App.exe", "proj/out/Tool.exe"})
      EXPECT_EQ(Lines(Run({"--version-of", Path(target)}).Out)[0], "FileVersion = 0.0.0." + std::to_string(run));
    const std::string missing = "halt: Resource Error for " + Path("proj/src/App.ver") + ": Did not exist";
    EXPECT_EQ(build.Err.find(missing), build.Err.rfind(missing)) << build.Err;
  }

  WriteBytes("proj/src/App.dpr", "program App;\r\nbegin\r\nend.\r\n");
  const TRun build = Run({"--json", Path("r.json"), "--file", "App.dpr", Path("proj")});
  EXPECT_EQ(build.Status, 1);
  EXPECT_TRUE(build.Out.starts_with("[1/1] App.dpr -> App.exe: OK, version not stamped, ")) << build.Out;
  const nlohmann::json entry = nlohmann::json::parse(ReadBytes("r.json"))["entries"][0];
  EXPECT_EQ(entry["version_stamped"], false);
  const std::string reason =
      "version not stamped: App.exe carries no version resource (Ver Info size call failed for " +
      Path("proj/out/App.exe") + "); the program may not link the generated resource: does App.dpr hold {$R *.RES}?";
  EXPECT_EQ(entry["notes"].back(), reason);
  EXPECT_NE(build.Err.find("note: " + reason + "\n"), std::string::npos) << build.Err;
}

// A configuration file of the project's own is kept, once, before the build
// first writes another in its place; the event log says so.
TEST_F(TesmarBuildTest, AProjectsOwnConfigurationIsKeptBeforeItIsReplaced) {
  WriteProject({{"App.dpr", PlainProgram}});
  const std::string own = CrLf({"-A", "-LEbpl", "-LNdcp"});
  WriteBytes("proj/src/App.cfg", own);
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(Run({Path("proj")}).Status, 0);
    EXPECT_EQ(ReadBytes("proj/src/App.~cfg"), own);
    EXPECT_NE(ReadBytes("proj/src/App.cfg"), own);
    EXPECT_EQ(ReadBytes("proj/Events.log").find(" kept the previous App.cfg as App.~cfg") != std::string::npos,
              run == 0);
    // Edited again by hand: the first backup stays the one kept.
    WriteBytes("proj/src/App.cfg", "-$D-\r\n");
  }
}

// A processing line that cannot start or ends with an exit code other than
// 0 leaves its entry built, but says so in the entry's notes (on standard
// error and in the report) and makes the run's status 1.
TEST_F(TesmarBuildTest, AFailedProcessingLineIsShownAndFailsTheRun) {
  WriteProject({{"App.dpr", PlainProgram}});
  WriteBytes("proj/Default.after", CrLf({ChildCommand("out fine"), "no-such-program-here", ChildCommand("exit 3")}));
  const TRun run = Run({"--json", Path("r.json"), Path("proj")});
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(run.Out.starts_with("[1/1] App.dpr -> App.exe: OK, ")) << run.Out;
  EXPECT_NE(run.Out.find(", 2 processing lines failed\n"), std::string::npos) << run.Out;
  const nlohmann::json entry = nlohmann::json::parse(ReadBytes("r.json"))["entries"][0];
  EXPECT_EQ(entry["processing_lines_failed"], 2);
  const std::vector<std::string> notes = entry["notes"];
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0],
            "After Compile  line 1 failed: no-such-program-here   Error Code 2: DOS redirected  failed: WINAPI Error "
            "Code = 2");
  EXPECT_EQ(notes[1], "After Compile  line 2 failed: " + ChildCommand("exit 3") + "   Exit Code 3");
  for (const std::string& note : notes) EXPECT_NE(run.Err.find("note: " + note + "\n"), std::string::npos);
  EXPECT_TRUE(run.Err.ends_with("tesmar-build: 2 processing lines failed\n")) << run.Err;
}

// One build of a project at a time: while another holds it, a run with
// --no-wait ends at once with 2 and writes nothing, and one without waits,
// says so, and builds once the other has ended. Two runs started together
// stamp two build numbers.
TEST_F(TesmarBuildTest, OneBuildOfAProjectAtATime) {
  WriteProject({{"App.dpr", PlainProgram}});
  platform::TFileLock other(Path("proj/Files.lock"));
  ASSERT_TRUE(other.TryLock());
  const TRun refused = Run({"--no-wait", Path("proj")});
  EXPECT_EQ(refused.Status, 2);
  EXPECT_NE(refused.Err.find("halt: Another build of " + Path("proj") + " is running (process "), std::string::npos)
      << refused.Err;
  EXPECT_FALSE(Exists("proj/Compile.log"));
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    other.Unlock();
  });
  const TRun waited = Run({Path("proj")});
  release.join();
  EXPECT_EQ(waited.Status, 0) << waited.Err;
  EXPECT_TRUE(waited.Err.starts_with("tesmar-build: waiting for the other build of " + Path("proj") + " (process "))
      << waited.Err;
  const std::string first = Lines(Run({"--version-of", Path("proj/out/App.exe")}).Out)[0];
  EXPECT_EQ(first, "FileVersion = 3.0.0.1");

  const std::string command = platform::QuoteProgramName(BinDir() + platform::PathDelim + ProgramName("tesmar-build")) +
                              " --quiet " + platform::QuoteArgument(Path("proj"));
  std::vector<std::thread> runs;
  std::vector<TCommandRun> results(2);
  for (TCommandRun& result : results) runs.emplace_back([&] { result = RunCommandLine(command); });
  for (std::thread& t : runs) t.join();
  for (const TCommandRun& result : results) EXPECT_EQ(result.ExitCode, 0) << testing::PrintToString(result.Lines);
  EXPECT_EQ(Lines(Run({"--version-of", Path("proj/out/App.exe")}).Out)[0], "FileVersion = 3.0.0.3");
}

#ifndef _WIN32
// Whatever keeps the resource step from stamping this build's version (a
// build number that would leave 0..65535 is not written, nor does it wrap)
// fails the run with a note on standard error and in the report. The target
// keeps the resource of before, unless only the local number could not be
// stored: its script is made, with a number that the next build gives again.
TEST_F(TesmarBuildTest, AVersionThatCouldNotBeStampedIsShownAndFailsTheRun) {
  WriteProject({{"App.dpr", PlainProgram}});
  ASSERT_EQ(Run({Path("proj")}).Status, 0);
  const std::string ver = Path("proj/Default.ver");
  auto version = [&](const std::string& line, const std::string& build = "Build=1") {
    WriteBytes(ver, CrLf({"[version]", line, build, "IconFileName=" + Path("app.ico")}));
  };
  const std::string range = "a version part is a whole number from 0 to 65535";
  const std::string failed = "note: Failed to replace  ";
  const std::string full = "halt: Resource Error for " + ver + ": AutoIncrement failed: Unable to write to " + ver +
                           ": " + SystemErrorText(ENOSPC);
  // Default.ver's line and build number, a file that fills the disk, the note.
  for (const auto& [line, build, fullFile, shown] : std::vector<std::array<std::string, 4>>{
           {"", "Build=x", "", "halt: Resource Error for App.RC: Build is x: " + range + "."},
           {"", "Build=65535", "", failed + "the build number 65535 cannot be incremented: " + range},
           {"", "Build=2147483647", "", "halt: Resource Error for App.RC: Build is 2147483647: " + range + "."},
           // The group's number and (with no Build of the group's) the local
           // one: Default.ver serves as both and keeps its number.
           {"", "Build=1", "Default.ver", full},
           {"Company=local number", "", "Default.ver", full},
           {"Major=70000", "Build=1", "", "halt: Resource Error for App.RC: Major is 70000: " + range + "."}}) {
    version(line, build);
    std::optional<TFullDisk> full;
    if (!fullFile.empty()) full.emplace(fullFile);
    const std::string verBefore = ReadBytes(ver), res = ReadBytes("proj/src/App.RES");
    const TRun run = Run({"--json", Path("r.json"), Path("proj")});
    full.reset();
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, shown + "\ntesmar-build: 1 entry was built without a freshly stamped version\n");
    EXPECT_TRUE(run.Out.starts_with("[1/1] App.dpr -> App.exe: OK, version not stamped, ")) << run.Out;
    const nlohmann::json entry = nlohmann::json::parse(ReadBytes("r.json"))["entries"][0];
    EXPECT_EQ(entry["version_stamped"], false);
    EXPECT_EQ(entry["notes"], nlohmann::json::array({shown.substr(6)}));
    EXPECT_EQ(ReadBytes(ver), verBefore);
    if (shown.find("AutoIncrement") == std::string::npos) {
      EXPECT_EQ(ReadBytes("proj/src/App.RES"), res) << shown;
    }
  }
  version("");
  const TRun clean = Run({"--json", Path("r.json"), Path("proj")});
  EXPECT_EQ(clean.Status, 0) << clean.Err;
  EXPECT_EQ(nlohmann::json::parse(ReadBytes("r.json"))["entries"][0]["version_stamped"], true);
}

// A Files.ini or setting file that cannot be read whole, or that is no regular
// file (which would keep the build waiting), is reported and nothing is built.
TEST_F(TesmarBuildTest, AProjectThatCannotBeReadWholeIsNotBuilt) {
  struct TCase {
    std::string File, Bytes, Shown;
  };
  for (const auto& [file, bytes, shown] : std::vector<TCase>{
           {"Files.ini", std::string("\x01\x00\xFFgarbage\x00", 11), "is not a text file: it holds binary data."},
           {"Files.ini", std::string("\xFF\xFE[\0o\0", 6), "is UTF-16 text, which is not read"},
           {"Files.ini", "", "It is not a regular file (a pipe, a device or a socket)."},
           {"Default.config", "", "halt: Failed to read " + Path("proj/Default.config") + ": "}}) {
    std::filesystem::remove_all(Path("proj"));
    WriteProject({{"App.dpr", PlainProgram}});
    std::filesystem::remove(Path("proj/" + file));
    if (bytes.empty())
      ASSERT_EQ(mkfifo(Path("proj/" + file).c_str(), 0644), 0);
    else
      WriteBytes("proj/" + file, bytes);
    const TRun run = Run({"--json", Path("r.json"), Path("proj")});
    EXPECT_EQ(run.Status, 2) << file;
    EXPECT_NE(run.Err.find(shown), std::string::npos) << run.Err;
    EXPECT_TRUE(run.Err.ends_with("tesmar-build: the project in " + Path("proj") + " could not be loaded\n"));
    EXPECT_EQ(nlohmann::json::parse(ReadBytes("r.json"))["loaded"], false);
    EXPECT_FALSE(Exists("proj/Compile.log"));
  }
  ASSERT_EQ(mkfifo(Path("fifo.exe").c_str(), 0644), 0);
  EXPECT_EQ(Run({"--version-of", Path("fifo.exe")}).Status, 1);
}

// A source whose name holds ']' cannot name the section of its settings:
// built, it would have the defaults in their place. Nothing is built.
TEST_F(TesmarBuildTest, ASourceWhoseSettingsFilesIniCannotHoldIsNotBuilt) {
  WriteProject({{"a]b/App.dpr", PlainProgram}});
  const TRun run = Run({Path("proj")});
  EXPECT_EQ(run.Status, 2);
  EXPECT_NE(run.Err.find("halt: Files.ini cannot keep the source " + Path("proj/src/a]b/App.dpr") +
                         ": ']' cannot stand in the name of the section that holds its settings.\n"),
            std::string::npos)
      << run.Err;
  EXPECT_FALSE(Exists("proj/Compile.log"));
  EXPECT_FALSE(Exists("proj/out/a]b/App.exe"));
}

// A tool that runs longer than --tool-timeout is ended, and its entry fails
// with a line that says so; the next entry runs.
TEST_F(TesmarBuildTest, AToolPastItsTimeoutIsEndedAndItsEntryFails) {
  WriteProject({{"App.dpr", PlainProgram}, {"Tool.dpr", PlainProgram}}, Path("tools"));
  WriteCompiler("case \"$1\" in App.dpr) sleep 60;; esac\nexec " + BinDir() + "/DCC32.exe \"$@\"\n");
  const auto start = std::chrono::steady_clock::now();
  const TRun run = Run({"--tool-timeout", "1", "--json", Path("r.json"), Path("proj")});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("halt: DCC32.exe was ended: it ran longer than 1 second\n"), std::string::npos) << run.Err;
  const nlohmann::json report = nlohmann::json::parse(ReadBytes("r.json"));
  EXPECT_EQ(report["entries"][0]["result"], "ERR");
  EXPECT_EQ(report["entries"][0]["last_line"], "DCC32.exe was ended: it ran longer than 1 second");
  EXPECT_EQ(report["entries"][1]["result"], "OK");
}

// SIGTERM (or Ctrl-C) while a tool runs: the tool and what it started end,
// the run stops as a stopped run does, with its logs, and the status is 1.
TEST_F(TesmarBuildTest, ASignalEndsTheToolAndStopsTheRunWithItsLogs) {
  WriteProject({{"App.dpr", PlainProgram}, {"Tool.dpr", PlainProgram}}, Path("tools"));
  // The sleeper's number is there whole once its file is.
  WriteCompiler("sleep 60 & echo $! > " + Path("sleeper.tmp") + "\nmv " + Path("sleeper.tmp") + " " + Path("sleeper") +
                "\nwait\n");
  const std::string command = BinDir() + "/tesmar-build --json " + Path("r.json") + " " + Path("proj") + " > " +
                              Path("out.txt") + " 2> " + Path("err.txt");
  const pid_t child = fork();
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 500 && !Exists("sleeper"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(Exists("sleeper"));
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1) << ReadBytes("err.txt");
  EXPECT_TRUE(ReadBytes("err.txt").ends_with(
      "tesmar-build: interrupted (SIGTERM); the run was stopped and its logs written\n"));
  const nlohmann::json report = nlohmann::json::parse(ReadBytes("r.json"));
  EXPECT_EQ(report["interrupted"], "SIGTERM");
  EXPECT_EQ(report["stopped"], true);
  EXPECT_EQ(report["entries"].size(), 1u);
  EXPECT_EQ(report["entries"][0]["last_line"], "DCC32.exe was ended: the build was interrupted (SIGTERM)");
  EXPECT_TRUE(Lines(ReadBytes("proj/Summary.log")).back().starts_with("Final result is 0 OK, 1 ERR."));
  EXPECT_TRUE(EndsSoon(std::stol(ReadBytes("sleeper"))));
}

// On a terminal the entry being built shows with its time so far, on a line
// written over and at last by its progress line; elsewhere nothing of it.
TEST_F(TesmarBuildTest, OnATerminalTheRunningEntryShowsWithItsTime) {
  WriteProject({{"App.dpr", PlainProgram}}, Path("tools"));
  WriteCompiler("sleep 1.3\nexec " + BinDir() + "/DCC32.exe \"$@\"\n");
  const std::string running = "\r[1/1] App.dpr -> App.exe: building ";
  const TRun shown = Run({Path("proj")}, true);
  EXPECT_EQ(shown.Status, 0) << shown.Err;
  EXPECT_TRUE(shown.Out.starts_with(running + "0:00" + running + "0:01\r" + std::string(39, ' ') + "\r" +
                                    "[1/1] App.dpr -> App.exe: OK, "))
      << shown.Out;
  const TRun plain = Run({Path("proj")});
  EXPECT_EQ(plain.Out.find('\r'), std::string::npos) << plain.Out;
  EXPECT_TRUE(plain.Out.starts_with("[1/1] App.dpr -> App.exe: OK, ")) << plain.Out;
  EXPECT_EQ(Run({"--quiet", Path("proj")}, true).Out.find('\r'), std::string::npos);
}

// A report into a pipe (or a device) is written into it, not put in its
// place: the reader gets the report and the pipe stays a pipe.
TEST_F(TesmarBuildTest, AReportIntoAPipeIsWrittenIntoIt) {
  WriteProject({{"App.dpr", PlainProgram}});
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadBytes("pipe"); });
  const TRun run = Run({"--json", Path("pipe"), Path("proj")});
  reader.join();
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(nlohmann::json::parse(received)["entries"][0]["result"], "OK");
  struct stat st;
  ASSERT_EQ(::stat(Path("pipe").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A name reaches a tool as one argument and as a file, whatever it holds: a
// quote or blanks in a path put into a processing line, a source named like a
// switch.
TEST_F(TesmarBuildTest, NamesStayOneArgumentAndAreNeverSwitches) {
  const std::string dir = "a \"quoted\" dir";
  WriteBytes(dir + "/-Q.dpr", PlainProgram);
  WriteBytes("proj/Default.after", CrLf({ChildCommand("args #FullName# \"#fullname#.bak\" x")}));
  const std::string target = Path(dir + "/-Q.exe");
  WriteFilesIni({"AutoResFileCreate=1"}, {target + "=" + Path(dir + "/-Q.dpr")});
  const TRun run = Run({Project});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(Exists(dir + "/-Q.exe"));
  EXPECT_NE(ReadBytes("proj/Events.log").find("[" + target + "]\r\n[" + target + ".bak]\r\n[x]\r\n"), std::string::npos)
      << ReadBytes("proj/Events.log");
}

#endif

}  // namespace
