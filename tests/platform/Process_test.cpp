#include "platform/Process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Signals.h"
#include "support/Faults.h"
#include "support/TestDir.h"

using platform::SplitCommandLine;
using V = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSeparateAndQuotesKeepThem) {
  EXPECT_EQ(SplitCommandLine(""), V{});
  EXPECT_EQ(SplitCommandLine(" \t "), V{});
  EXPECT_EQ(SplitCommandLine("  prog  a\tb  "), (V{"prog", "a", "b"}));
  EXPECT_EQ(SplitCommandLine("prog \"a b\"\t\"c\td\""), (V{"prog", "a b", "c\td"}));
  EXPECT_EQ(SplitCommandLine("prog a\"b c\"d e"), (V{"prog", "ab cd", "e"}));
  EXPECT_EQ(SplitCommandLine("prog \"\" x \"\""), (V{"prog", "", "x", ""}));
  EXPECT_EQ(SplitCommandLine("prog \"unterminated run"), (V{"prog", "unterminated run"}));
}

TEST(SplitCommandLine, BackslashesCountOnlyBeforeAQuote) {
  // The classic cases of the Windows C runtime.
  EXPECT_EQ(SplitCommandLine(R"(p "abc" d e)"), (V{"p", "abc", "d", "e"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\b d"e f"g h)"), (V{"p", R"(a\\\b)", "de fg", "h"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\"b c d)"), (V{"p", R"(a\"b)", "c", "d"}));
  EXPECT_EQ(SplitCommandLine(R"(p a\\\\"b c" d e)"), (V{"p", R"(a\\b c)", "d", "e"}));
  EXPECT_EQ(SplitCommandLine(R"(p C:\dir\ "C:\a b\\" x\)"), (V{"p", R"(C:\dir\)", R"(C:\a b\)", R"(x\)"}));
  EXPECT_EQ(SplitCommandLine(R"(p \"quoted\")"), (V{"p", R"("quoted")"}));
}

TEST(SplitCommandLine, DoubledQuoteInsideARunIsAQuoteAndTheRunGoesOn) {
  EXPECT_EQ(SplitCommandLine(R"(p a"b"" c d)"), (V{"p", R"(ab" c d)"}));
  EXPECT_EQ(SplitCommandLine(R"(p "a""b" c)"), (V{"p", R"(a"b)", "c"}));
  // Outside a run, "" is an empty run: nothing.
  EXPECT_EQ(SplitCommandLine(R"(p a""b)"), (V{"p", "ab"}));
}

TEST(SplitCommandLine, ProgramNameKnowsNoEscapes) {
  EXPECT_EQ(SplitCommandLine(R"("C:\Program Files\x\" /y)"), (V{R"(C:\Program Files\x\)", "/y"}));
  EXPECT_EQ(SplitCommandLine(R"(a\"b c)"), (V{R"(a\"b)", "c"}));
  EXPECT_EQ(SplitCommandLine(R"(a"b c" d)"), (V{R"(a"b)", R"(c d)"}));
  // What follows the closing quote of the program name starts the next argument.
  EXPECT_EQ(SplitCommandLine(R"("prog"arg next)"), (V{"prog", "arg", "next"}));
  EXPECT_EQ(SplitCommandLine(R"("" x)"), (V{"", "x"}));
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

// Each test may change PATH; it is put back afterwards.
class TProcessTest : public TTestDir {
 protected:
  void SetUp() override {
    TTestDir::SetUp();
    const char* path = std::getenv("PATH");
    HadPath = path != nullptr;
    SavedPath = path ? path : "";
  }
  void TearDown() override {
    if (HadPath)
      setenv("PATH", SavedPath.c_str(), 1);
    else
      unsetenv("PATH");
    TTestDir::TearDown();
  }
  void WriteProgram(const std::string& name, const std::string& text) {
    WriteBytes(name, text);
    fs::permissions(Path(name), fs::perms::owner_all, fs::perm_options::add);
  }
  void PrependPath(const std::string& dir) { setenv("PATH", (dir + ":" + SavedPath).c_str(), 1); }
  platform::TRunResult Run(const std::string& line, const std::string& in = "in.txt",
                           const std::string& out = "out.txt") {
    return platform::RunRedirected(line, in, out);
  }

  bool HadPath = false;
  std::string SavedPath;
};

const char* const ArgsScript = "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n";

}  // namespace

TEST_F(TProcessTest, InputFromFileAndBothOutputsInOrderIntoOneFile) {
  WriteBytes("in.txt", "line one\nline two\n");
  auto r = Run("cat");
  ASSERT_EQ(r.Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(ReadBytes("out.txt"), "line one\nline two\n");

  r = Run(R"(/bin/sh -c "echo one; echo two 1>&2; echo three; echo four >&2")");
  ASSERT_EQ(r.Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "one\ntwo\nthree\nfour\n");
}

TEST_F(TProcessTest, OutputIsEmptiedAndMissingInputCreated) {
  WriteBytes("out.txt", std::string(5000, 'x'));
  ASSERT_EQ(Run("/bin/sh -c true", "new-input.txt").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "");
  EXPECT_TRUE(Exists("new-input.txt"));
}

TEST_F(TProcessTest, ExitCodeAndSignalAreReported) {
  EXPECT_EQ(Run(R"(/bin/sh -c "exit 7")").ExitCode, 7);
  EXPECT_EQ(Run(R"(/bin/sh -c "kill -TERM $$")").ExitCode, 128 + 15);
}

TEST_F(TProcessTest, ArgumentsArriveSplitByTheWindowsRules) {
  WriteProgram("args.sh", ArgsScript);
  ASSERT_EQ(Run(R"(args.sh "a b" c\"d "" e\\f "g\\" h)").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "[a b]\n[c\"d]\n[]\n[e\\\\f]\n[g\\]\n[h]\n");
}

TEST_F(TProcessTest, ProgramsThatCannotStartGiveTheSystemCode) {
  platform::SetLastOSErrorCode(0);
  auto r = Run("no-such-program-here arg");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, ENOENT);
  EXPECT_EQ(platform::LastOSErrorCode(), ENOENT);

  r = Run("   ");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, ENOENT);

  r = Run(Path("missing-dir") + "/prog");
  EXPECT_EQ(r.ErrorCode, ENOENT);

  WriteBytes("plain.txt", "not a program\n");
  r = Run("./plain.txt");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, EACCES);
  EXPECT_EQ(platform::LastOSErrorCode(), EACCES);
}

TEST_F(TProcessTest, FilesThatCannotBeOpenedAreTold) {
  auto r = Run("/bin/sh -c true", "no/such/dir/in.txt");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsInputOpenFailed);
  EXPECT_EQ(r.ErrorCode, ENOENT);
  r = Run("/bin/sh -c true", "in.txt", "no/such/dir/out.txt");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsOutputOpenFailed);
  EXPECT_EQ(r.ErrorCode, ENOENT);
  EXPECT_EQ(platform::LastOSErrorCode(), ENOENT);
}

TEST_F(TProcessTest, ReadOnlyInputStillServes) {
  WriteBytes("in.txt", "kept\n");
  fs::permissions(Path("in.txt"), fs::perms::owner_read);
  ASSERT_EQ(Run("cat").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "kept\n");
}

TEST_F(TProcessTest, CurrentDirectoryComesBeforePath) {
  WriteProgram("tool", "#!/bin/sh\necho here\n");
  WriteProgram("bin/tool", "#!/bin/sh\necho path\n");
  WriteProgram("bin/onlyonpath", "#!/bin/sh\necho path only\n");
  WriteBytes("bin/notrunnable", "#!/bin/sh\necho never\n");
  PrependPath(Path("bin"));

  EXPECT_EQ(platform::FindProgram("tool"), Path("tool"));
  EXPECT_EQ(platform::FindProgram("onlyonpath"), Path("bin/onlyonpath"));
  EXPECT_EQ(platform::FindProgram("notrunnable"), "");
  EXPECT_EQ(platform::FindProgram("bin/tool"), "bin/tool");
  EXPECT_EQ(platform::FindProgram(""), "");
  const std::string sh = platform::FindProgram("sh");
  EXPECT_TRUE(sh.size() > 3 && sh.substr(sh.size() - 3) == "/sh") << sh;

  ASSERT_EQ(Run("tool").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "here\n");
  ASSERT_EQ(Run("onlyonpath").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "path only\n");
}

TEST_F(TProcessTest, ProgramNamesResolveLikeWindows) {
  WriteProgram("Runner.exe", "#!/bin/sh\necho runner\n");
  // ".exe" is tried for a name without extension, and the letter case does not matter.
  EXPECT_EQ(platform::FindProgram("Runner"), Path("Runner.exe"));
  EXPECT_EQ(platform::FindProgram("RUNNER.EXE"), Path("Runner.exe"));
  ASSERT_EQ(Run("runner.exe").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "runner\n");
}

TEST_F(TProcessTest, WindowsProgramsGoThroughWine) {
  WriteBytes("prog.exe", std::string("MZ\x90\0\x03", 5) + "rest of a Windows program");
  WriteProgram("fake/wine", std::string(ArgsScript));
  WriteBytes("bin/wine", "not runnable, skipped\n");
  setenv("PATH", (Path("bin") + ":" + Path("fake") + ":/usr/bin:/bin").c_str(), 1);

  ASSERT_EQ(Run(R"(prog "a b" c)").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "[" + Path("prog.exe") + "]\n[a b]\n[c]\n");

  setenv("PATH", Path("bin").c_str(), 1);
  auto r = Run("prog.exe");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, ENOEXEC);
}

TEST_F(TProcessTest, NoLengthLimitOnLinesOrNames) {
  const std::string word(400, 'w');
  const std::string dir = std::string(200, 'd') + "/" + std::string(200, 'e');
  fs::create_directories(Path(dir));
  const std::string in = Path(dir + "/" + std::string(150, 'i') + ".txt");
  const std::string out = Path(dir + "/" + std::string(150, 'o') + ".txt");
  ASSERT_GT(out.size(), 500u);
  WriteBytes(in, "from a long name\n");

  ASSERT_EQ(Run("/bin/sh -c \"cat; echo " + word + "\"", in, out).Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes(out), "from a long name\n" + word + "\n");
}

// The window stays alive during a long tool run: the callback runs while the
// child does, never after it ended, and a failing callback still lets the
// child finish before its exception is passed on.
TEST_F(TProcessTest, WhileWaitingIsCalledDuringTheRunOnly) {
  int calls = 0;
  bool childDone = false;
  auto r = platform::RunRedirected(R"(/bin/sh -c "sleep 0.3; echo done")", "in.txt", "out.txt", [&] {
    ++calls;
    childDone = childDone || ReadBytes("out.txt") == "done\n";
  });
  ASSERT_EQ(r.Stage, platform::TRunStage::rsRan);
  EXPECT_GE(calls, 3);
  EXPECT_FALSE(childDone);
  EXPECT_EQ(ReadBytes("out.txt"), "done\n");

  EXPECT_THROW(platform::RunRedirected(R"(/bin/sh -c "sleep 0.2; echo finished")", "in.txt", "out.txt",
                                       [] { throw std::runtime_error("window closed"); }),
               std::runtime_error);
  EXPECT_EQ(ReadBytes("out.txt"), "finished\n");
}

#ifndef _WIN32
// A callback's TEndChild ends the child and everything it started, also when
// they ignore the request to terminate, and the run tells why.
TEST_F(TProcessTest, EndingAChildEndsWhatItStartedToo) {
  WriteProgram("stubborn.sh",
               "#!/bin/sh\ntrap '' TERM\nsleep 60 &\necho $! > grandchild.pid\nwhile :; do sleep 1; done\n");
  const auto start = std::chrono::steady_clock::now();
  const auto r = platform::RunRedirected(Path("stubborn.sh"), "in.txt", "out.txt", [&] {
    if (Exists("grandchild.pid") && ReadBytes("grandchild.pid").ends_with("\n")) throw platform::TEndChild("enough");
  });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
  EXPECT_EQ(r.Stage, platform::TRunStage::rsRan);
  EXPECT_TRUE(r.Ended);
  EXPECT_EQ(r.EndReason, "enough");
  EXPECT_EQ(r.ExitCode, 128 + SIGKILL);
  EXPECT_TRUE(EndsSoon(std::stol(ReadBytes("grandchild.pid"))));
  EXPECT_TRUE(platform::ProcessIsRunning(platform::CurrentProcessId()));

  // A child that ends on its own is not marked.
  EXPECT_FALSE(platform::RunRedirected("true", "in.txt", "out.txt", [] {}).Ended);
}

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
