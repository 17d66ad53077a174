#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Signals.h"
#include "support/Faults.h"
#include "support/ToolsTest.h"

using platform::SplitCommandLine;
using V = std::vector<std::string>;

TEST(SplitCommandLine, TheWindowsRules) {
  const std::pair<std::string, V> cases[] = {
      {"", {}},
      {" \t ", {}},
      // Blanks separate, quotes keep them; an unterminated run ends the line.
      {"  prog  a\tb  ", {"prog", "a", "b"}},
      {"prog \"a b\"\t\"c\td\"", {"prog", "a b", "c\td"}},
      {"prog a\"b c\"d e", {"prog", "ab cd", "e"}},
      {"prog \"\" x \"\"", {"prog", "", "x", ""}},
      {"prog \"unterminated run", {"prog", "unterminated run"}},
      // Backslashes count only before a quote (the classic cases of the C runtime).
      {R"(p a\\\b d"e f"g h)", {"p", R"(a\\\b)", "de fg", "h"}},
      {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
      {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
      {R"(p C:\dir\ "C:\a b\\" x\)", {"p", R"(C:\dir\)", R"(C:\a b\)", R"(x\)"}},
      {R"(p \"quoted\")", {"p", R"("quoted")"}},
      // A doubled quote inside a run is a quote and the run goes on; outside, an empty run.
      {R"(p a"b"" c d)", {"p", R"(ab" c d)"}},
      {R"(p "a""b" c)", {"p", R"(a"b)", "c"}},
      {R"(p a""b)", {"p", "ab"}},
      // The program name knows no escapes; what follows its closing quote starts the next argument.
      {R"("C:\Program Files\x\" /y)", {R"(C:\Program Files\x\)", "/y"}},
      {R"(a\"b c)", {R"(a\"b)", "c"}},
      {R"(a"b c" d)", {R"(a"b)", R"(c d)"}},
      {R"("prog"arg next)", {"prog", "arg", "next"}},
      {R"("" x)", {"", "x"}},
  };
  for (const auto& [line, args] : cases) EXPECT_EQ(SplitCommandLine(line), args) << line;
}

TEST(SplitCommandLine, JoinGivesTheArgumentsBack) {
  const std::vector<V> cases = {
      {"prog"},
      {"my prog", "", " ", "\t"},
      {"p", R"(a\)", R"(a\\)", R"(\")", R"(a"b)", R"("")", R"(x\\"y z)", R"(C:\a b\)"},
      {"", "plain", "two words"},
      {R"(a"b)", R"(\\server\share\)"},
  };
  for (const V& args : cases) {
    const std::string line = platform::JoinCommandLine(args);
    EXPECT_EQ(SplitCommandLine(line), args) << line;
  }
  EXPECT_EQ(platform::QuoteArgument("plain"), "plain");
  EXPECT_EQ(platform::QuoteArgument(R"(a b\)"), R"("a b\\")");
}

namespace {

namespace fs = std::filesystem;
using platform::TRunStage;

#ifdef _WIN32
// What CreateProcess and CreateFile leave behind.
constexpr int PathNotFound = 3;                               // ERROR_PATH_NOT_FOUND
constexpr int NotAProgram = 193;                              // ERROR_BAD_EXE_FORMAT
constexpr int CrashExitCode = static_cast<int>(0xC0000005u);  // an unhandled access violation
#else
constexpr int PathNotFound = ENOENT;
constexpr int NotAProgram = EACCES;                  // a file without execute permission
constexpr int CrashExitCode = 128 + 11;              // SIGSEGV
#endif

class TProcessTest : public TTestDir {
 protected:
  // A script or any file made runnable (POSIX).
  void WriteProgram(const std::string& name, const std::string& text) {
    WriteBytes(name, text);
    fs::permissions(Path(name), fs::perms::owner_all, fs::perm_options::add);
  }
  // A copy of the test child under another name; it carries out the
  // commands of TESMAR_TEST_CHILD.
  void CopyChild(const std::string& name) {
    fs::create_directories(fs::path(Path(name)).parent_path());
    fs::copy_file(ChildProgram(), Path(name));
  }
  // Runs a line; its output, or what went wrong.
  std::string Output(const std::string& line, const std::string& in = "in.txt", const std::string& out = "out.txt") {
    const auto r = platform::RunRedirected(line, in, out);
    return r.Stage == TRunStage::rsRan ? ReadBytes(out) : "not run: " + std::to_string(r.ErrorCode);
  }

  TEnvScope SavedPath{"PATH"}, SavedChildCommands{"TESMAR_TEST_CHILD"};
};

}  // namespace

// Standard input from a file (created when missing, served when read-only),
// both outputs in order into one file that keeps nothing of an earlier one, arguments split by the
// Windows rules, and the exit code or the crash.
TEST_F(TProcessTest, InputOutputArgumentsAndExitCodes) {
  WriteBytes("in.txt", "line one\nline two\n");
  platform::SetReadOnly(Path("in.txt"), true);
  EXPECT_EQ(Output(ChildCommand("cat")), "line one\nline two\n");
  EXPECT_EQ(ReadBytes("in.txt"), "line one\nline two\n");
  EXPECT_EQ(Output(ChildCommand("out one err two out three err four")), "one\ntwo\nthree\nfour\n");
  EXPECT_EQ(Output(ChildCommand(R"(args "a b" c\"d "" e\\f "g\\" h)")), "[a b]\n[c\"d]\n[]\n[e\\\\f]\n[g\\]\n[h]\n");
  WriteBytes("out.txt", std::string(5000, 'x'));
  EXPECT_EQ(Output(ChildCommand("out short")), "short\n");
  EXPECT_EQ(Output(ChildCommand("exit 0"), "new-input.txt"), "");
  EXPECT_TRUE(Exists("new-input.txt"));

  EXPECT_EQ(platform::RunRedirected(ChildCommand("exit 7"), "in.txt", "out.txt").ExitCode, 7);
  const auto r = platform::RunRedirected(ChildCommand("out before crash out never"), "in.txt", "out.txt");
  ASSERT_EQ(r.Stage, TRunStage::rsRan);
  EXPECT_EQ(r.ExitCode, CrashExitCode);
  EXPECT_EQ(ReadBytes("out.txt").substr(0, 7), "before\n");
}

TEST_F(TProcessTest, WhatCannotStartOrOpenGivesTheSystemCode) {
  WriteBytes("plain.txt", "not a program\n");
  const struct {
    std::string Line;
    TRunStage Stage;
    int Code;
    std::string In = "in.txt", Out = "out.txt";
  } cases[] = {
      {"no-such-program-here arg", TRunStage::rsStartFailed, 2},
      {"   ", TRunStage::rsStartFailed, 2},
      {Path("missing-dir/prog"), TRunStage::rsStartFailed, 2},
      {NativePath("./plain.txt"), TRunStage::rsStartFailed, NotAProgram},
      {ChildCommand("exit 0"), TRunStage::rsInputOpenFailed, PathNotFound, NativePath("no/such/dir/in.txt")},
      {ChildCommand("exit 0"), TRunStage::rsOutputOpenFailed, PathNotFound, "in.txt",
       NativePath("no/such/dir/out.txt")},
  };
  for (const auto& c : cases) {
    platform::SetLastOSErrorCode(0);
    WriteBytes("out.txt", "an earlier capture\n");
    const auto r = platform::RunRedirected(c.Line, c.In, c.Out);
    EXPECT_EQ(r.Stage, c.Stage) << c.Line;
    if (c.Stage == TRunStage::rsStartFailed) {
      EXPECT_EQ(ReadBytes("out.txt"), "") << c.Line;
    }
    EXPECT_EQ(r.ErrorCode, c.Code) << c.Line;
    EXPECT_EQ(platform::LastOSErrorCode(), c.Code) << c.Line;
  }
}

// A bare name is looked for in the current directory, then on PATH; ".exe" is
// tried for a name without extension, and the letter case does not matter.
TEST_F(TProcessTest, ProgramsAreFoundAsWindowsFindsThem) {
  for (const std::string name : {"tool", "bin/tool", "bin/onlyonpath"}) CopyChild(ProgramName(name));
  CopyChild("Runner.exe");
  WriteBytes("bin/notaprogram", "text\r\n");
  SetEnv("TESMAR_TEST_CHILD", "self");
#ifdef _WIN32
  const std::string notAProgram = Path("bin/notaprogram"), shell = "cmd";  // the system judges it when it starts
#else
  const std::string notAProgram = "", shell = "sh";  // no execute permission: skipped
#endif
  PrependToPath(Path("bin"));
  EXPECT_EQ(platform::FindProgram("tool"), Path(ProgramName("tool")));
  EXPECT_EQ(platform::FindProgram("onlyonpath"), Path("bin/" + ProgramName("onlyonpath")));
  EXPECT_EQ(platform::FindProgram("notaprogram"), notAProgram);
  EXPECT_EQ(platform::FindProgram(NativePath("bin/tool")), NativePath("bin/" + ProgramName("tool")));
  EXPECT_EQ(platform::FindProgram(""), "");
  EXPECT_EQ(platform::FindProgram("Runner"), Path("Runner.exe"));
  EXPECT_EQ(platform::FindProgram("RUNNER.EXE"), Path("Runner.exe"));
  const std::string found = platform::ExtractFileName(platform::FindProgram(shell));
  EXPECT_TRUE(found == shell || found == shell + ".exe") << found;

  EXPECT_EQ(Output("tool"), Path(ProgramName("tool")) + "\n");
  EXPECT_EQ(Output("onlyonpath"), Path("bin/" + ProgramName("onlyonpath")) + "\n");
  SetEnv("TESMAR_TEST_CHILD", "out runner");
  EXPECT_EQ(Output("runner.exe"), "runner\n");
}

// A file that only starts like a Windows program: on POSIX it goes through
// the first runnable wine on PATH (or fails as no program); Windows refuses it.
TEST_F(TProcessTest, WindowsProgramsGoThroughWine) {
  WriteBytes("prog.exe", std::string("MZ\x90\0\x03", 5) + "rest of a Windows program");
#ifdef _WIN32
  EXPECT_FALSE(platform::IsWindowsProgram(ChildProgram()));
  EXPECT_EQ(Output(R"(prog "a b" c)"), "not run: " + std::to_string(NotAProgram));
#else
  WriteProgram("fake/wine", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n");
  WriteBytes("bin/wine", "not runnable, skipped\n");
  SetEnv("PATH", Path("bin") + ":" + Path("fake") + ":/usr/bin:/bin");
  EXPECT_EQ(Output(R"(prog "a b" c)"), "[" + Path("prog.exe") + "]\n[a b]\n[c]\n");
  SetEnv("PATH", Path("bin"));
  EXPECT_EQ(Output("prog.exe"), "not run: " + std::to_string(ENOEXEC));
#endif
}

TEST_F(TProcessTest, NoLengthLimitOnLinesOrNames) {
  const std::string word(400, 'w');
  const std::string dir = std::string(200, 'd') + "/" + std::string(200, 'e');
  fs::create_directories(Path(dir));
  const std::string in = Path(dir + "/" + std::string(150, 'i') + ".txt");
  const std::string out = Path(dir + "/" + std::string(150, 'o') + ".txt");
  ASSERT_GT(out.size(), 500u);
  WriteBytes(in, "from a long name\n");
  EXPECT_EQ(Output(ChildCommand("cat out " + word), in, out), "from a long name\n" + word + "\n");
}

// While the child runs, how much it has written is known, also where its
// output file still holds a longer earlier output; once it has ended, what it
// wrote in all and into which file, until the next run; nothing after a run
// whose child never started.
TEST_F(TProcessTest, TheChildsOutputIsKnownWhileItRunsAndAfter) {
  WriteBytes("out.txt", std::string(100, 'z'));
  std::uint64_t written = 0;
  const auto r = platform::RunRedirected(ChildCommand("out first sleep 300 out second"), "in.txt", "out.txt", [&] {
    written = std::max(written, platform::ChildOutput().value_or(platform::TChildOutput{}).Written);
  });
  ASSERT_EQ(r.Stage, TRunStage::rsRan);
  EXPECT_EQ(written, 6u);  // "first\n"; its last line came after the last call
  EXPECT_EQ(ReadBytes("out.txt"), "first\nsecond\n");
  const auto ended = platform::ChildOutput();
  ASSERT_TRUE(ended.has_value());
  EXPECT_EQ(ended->Written, 13u);
  EXPECT_EQ(ended->File, platform::TFileReader(Path("out.txt")).Key());
  WriteBytes("other.txt", "");
  EXPECT_NE(ended->File, platform::TFileReader(Path("other.txt")).Key());
  EXPECT_EQ(platform::RunRedirected("no-such-program-here", "in.txt", "out.txt").Stage, TRunStage::rsStartFailed);
  EXPECT_EQ(platform::ChildOutput(), std::nullopt);
}

// The window stays alive during a long tool run: the callback runs while the
// child does (it holds a lock the system lets go only at its end). A child
// that ends while the first call lasts (that call waits for its last line and
// a while longer) gets no second call; watching the lock for this would race
// the system, which lets go of a dying process's files a moment before its end
// can be waited for. A failing callback still lets the child finish first.
TEST_F(TProcessTest, WhileWaitingIsCalledDuringTheRunOnly) {
  int calls = 0, whileHeld = 0;
  auto r = platform::RunRedirected(ChildCommand("hold held.lock sleep 300 out done"), "in.txt", "out.txt", [&] {
    ++calls;
    if (ChildHolds(Path("held.lock"))) ++whileHeld;
  });
  ASSERT_EQ(r.Stage, TRunStage::rsRan);
  EXPECT_GE(calls, 3);
  EXPECT_GE(whileHeld, 3);
  EXPECT_FALSE(ChildHolds(Path("held.lock")));
  EXPECT_EQ(ReadBytes("out.txt"), "done\n");

  calls = 0;
  r = platform::RunRedirected(ChildCommand("sleep 100 out quick"), "in.txt", "out.txt", [&] {
    if (++calls > 1) return;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (ReadBytes("out.txt") != "quick\n" && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  });
  ASSERT_EQ(r.Stage, TRunStage::rsRan);
  EXPECT_EQ(calls, 1);

  // The first call comes as soon as the child runs, so that a caller does
  // its work beside a child quicker than the interval too.
  calls = 0;
  r = platform::RunRedirected(ChildCommand("sleep 30 out brief"), "in.txt", "out.txt", [&] { ++calls; });
  ASSERT_EQ(r.Stage, TRunStage::rsRan);
  EXPECT_GE(calls, 1);
  EXPECT_EQ(ReadBytes("out.txt"), "brief\n");

  EXPECT_THROW(platform::RunRedirected(ChildCommand("sleep 200 out finished"), "in.txt", "out.txt",
                                       [] { throw std::runtime_error("window closed"); }),
               std::runtime_error);
  EXPECT_EQ(ReadBytes("out.txt"), "finished\n");
}

// A callback's TEndChild ends the child and everything it started, also when
// they ignore the request to terminate, and the run tells why.
TEST_F(TProcessTest, EndingAChildEndsWhatItStartedToo) {
#ifdef _WIN32
  // The child and what it started share a job object, which is ended whole.
  const std::string line = ChildCommand("spawn grandchild.pid sleep 60000");
  const int endedCode = 1;
#else
  WriteProgram("stubborn.sh",
               "#!/bin/sh\ntrap '' TERM\nsleep 60 &\necho $! > grandchild.pid\nwhile :; do sleep 1; done\n");
  const std::string line = Path("stubborn.sh");
  const int endedCode = 128 + SIGKILL;
#endif
  const auto start = std::chrono::steady_clock::now();
  const auto r = platform::RunRedirected(line, "in.txt", "out.txt", [&] {
    if (Exists("grandchild.pid") && ReadBytes("grandchild.pid").ends_with("\n")) throw platform::TEndChild("enough");
  });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_EQ(r.Stage, TRunStage::rsRan);
  EXPECT_TRUE(r.Ended);
  EXPECT_EQ(r.EndReason, "enough");
  EXPECT_EQ(r.ExitCode, endedCode);
  EXPECT_TRUE(EndsSoon(std::stol(ReadBytes("grandchild.pid"))));
  EXPECT_TRUE(platform::ProcessIsRunning(platform::CurrentProcessId()));
  // A child that ends on its own is not marked.
  EXPECT_FALSE(platform::RunRedirected(ChildCommand("exit 0"), "in.txt", "out.txt", [] {}).Ended);
}

#ifndef _WIN32
// While a TStopSignals lives, SIGINT, SIGTERM and SIGHUP no longer end the
// program; the first is kept. Afterwards they do again.
TEST(StopSignals, TheFirstRequestIsKeptAndTheProgramGoesOn) {
  {
    const platform::TStopSignals signals;
    EXPECT_EQ(signals.Received(), "");
    raise(SIGTERM);
    raise(SIGINT);
    raise(SIGHUP);
    EXPECT_EQ(signals.Received(), "SIGTERM");
  }
  EXPECT_EXIT(raise(SIGINT), testing::KilledBySignal(SIGINT), "");
}
#endif
