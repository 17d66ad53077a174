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

#include "platform/FileSystem.h"
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

#ifdef _WIN32
// What CreateProcess and CreateFile leave behind.
constexpr int PathNotFound = 3;                               // ERROR_PATH_NOT_FOUND
constexpr int NotAProgram = 193;                              // ERROR_BAD_EXE_FORMAT
constexpr int CrashExitCode = static_cast<int>(0xC0000005u);  // an unhandled access violation
#else
constexpr int PathNotFound = ENOENT;
constexpr int NotAProgram = EACCES;      // a file without execute permission
constexpr int CrashExitCode = 128 + 11;  // SIGSEGV
#endif

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
      SetEnv("PATH", SavedPath);
    else
      UnsetEnv("PATH");
    UnsetEnv("TESMAR_TEST_CHILD");
    TTestDir::TearDown();
  }
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
  platform::TRunResult Run(const std::string& line, const std::string& in = "in.txt",
                           const std::string& out = "out.txt") {
    return platform::RunRedirected(line, in, out);
  }

  bool HadPath = false;
  std::string SavedPath;
};

}  // namespace

TEST_F(TProcessTest, InputFromFileAndBothOutputsInOrderIntoOneFile) {
  WriteBytes("in.txt", "line one\nline two\n");
  auto r = Run(ChildCommand("cat"));
  ASSERT_EQ(r.Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_EQ(ReadBytes("out.txt"), "line one\nline two\n");

  r = Run(ChildCommand("out one err two out three err four"));
  ASSERT_EQ(r.Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "one\ntwo\nthree\nfour\n");
}

TEST_F(TProcessTest, OutputIsEmptiedAndMissingInputCreated) {
  WriteBytes("out.txt", std::string(5000, 'x'));
  ASSERT_EQ(Run(ChildCommand("exit 0"), "new-input.txt").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "");
  EXPECT_TRUE(Exists("new-input.txt"));
}

TEST_F(TProcessTest, ExitCodeAndCrashAreReported) {
  EXPECT_EQ(Run(ChildCommand("exit 7")).ExitCode, 7);
  const auto r = Run(ChildCommand("out before crash out never"));
  ASSERT_EQ(r.Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(r.ExitCode, CrashExitCode);
  EXPECT_EQ(ReadBytes("out.txt").substr(0, 7), "before\n");
}

TEST_F(TProcessTest, ArgumentsArriveSplitByTheWindowsRules) {
  ASSERT_EQ(Run(ChildCommand(R"(args "a b" c\"d "" e\\f "g\\" h)")).Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "[a b]\n[c\"d]\n[]\n[e\\\\f]\n[g\\]\n[h]\n");
}

TEST_F(TProcessTest, ProgramsThatCannotStartGiveTheSystemCode) {
  platform::SetLastOSErrorCode(0);
  auto r = Run("no-such-program-here arg");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, 2);
  EXPECT_EQ(platform::LastOSErrorCode(), 2);

  r = Run("   ");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, 2);

  r = Run(Path("missing-dir/prog"));
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, 2);

  WriteBytes("plain.txt", "not a program\n");
  r = Run(NativePath("./plain.txt"));
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, NotAProgram);
  EXPECT_EQ(platform::LastOSErrorCode(), NotAProgram);
}

TEST_F(TProcessTest, FilesThatCannotBeOpenedAreTold) {
  auto r = Run(ChildCommand("exit 0"), NativePath("no/such/dir/in.txt"));
  EXPECT_EQ(r.Stage, platform::TRunStage::rsInputOpenFailed);
  EXPECT_EQ(r.ErrorCode, PathNotFound);
  r = Run(ChildCommand("exit 0"), "in.txt", NativePath("no/such/dir/out.txt"));
  EXPECT_EQ(r.Stage, platform::TRunStage::rsOutputOpenFailed);
  EXPECT_EQ(r.ErrorCode, PathNotFound);
  EXPECT_EQ(platform::LastOSErrorCode(), PathNotFound);
}

TEST_F(TProcessTest, ReadOnlyInputStillServes) {
  WriteBytes("in.txt", "kept\n");
  platform::SetReadOnly(Path("in.txt"), true);
  ASSERT_EQ(Run(ChildCommand("cat")).Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "kept\n");
  EXPECT_EQ(ReadBytes("in.txt"), "kept\n");
}

#ifndef _WIN32

const char* const ArgsScript = "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n";

TEST_F(TProcessTest, CurrentDirectoryComesBeforePath) {
  WriteProgram("tool", "#!/bin/sh\necho here\n");
  WriteProgram("bin/tool", "#!/bin/sh\necho path\n");
  WriteProgram("bin/onlyonpath", "#!/bin/sh\necho path only\n");
  WriteBytes("bin/notrunnable", "#!/bin/sh\necho never\n");
  PrependToPath(Path("bin"));

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
  WriteProgram("fake/wine", ArgsScript);
  WriteBytes("bin/wine", "not runnable, skipped\n");
  SetEnv("PATH", Path("bin") + ":" + Path("fake") + ":/usr/bin:/bin");

  ASSERT_EQ(Run(R"(prog "a b" c)").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "[" + Path("prog.exe") + "]\n[a b]\n[c]\n");

  SetEnv("PATH", Path("bin"));
  auto r = Run("prog.exe");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, ENOEXEC);
}

#else

// Windows looks in the current directory before PATH, adds ".exe" to a bare
// name, and runs any file it finds that is a program.
TEST_F(TProcessTest, CurrentDirectoryComesBeforePath) {
  CopyChild("tool.exe");
  CopyChild("bin\\tool.exe");
  CopyChild("bin\\onlyonpath.exe");
  WriteBytes("bin/notaprogram", "text\r\n");
  PrependToPath(Path("bin"));

  EXPECT_EQ(platform::FindProgram("tool"), Path("tool.exe"));
  EXPECT_EQ(platform::FindProgram("onlyonpath"), Path("bin/onlyonpath.exe"));
  EXPECT_EQ(platform::FindProgram("notaprogram"), Path("bin/notaprogram"));  // the system judges it when it starts
  EXPECT_EQ(platform::FindProgram("bin\\tool"), "bin\\tool.exe");
  EXPECT_EQ(platform::FindProgram(""), "");
  const std::string cmd = platform::FindProgram("cmd");
  EXPECT_TRUE(cmd.size() > 8 && platform::ExtractFileName(cmd) == "cmd.exe") << cmd;

  SetEnv("TESMAR_TEST_CHILD", "self");
  ASSERT_EQ(Run("tool").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), Path("tool.exe") + "\n");
  ASSERT_EQ(Run("onlyonpath").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), Path("bin/onlyonpath.exe") + "\n");
}

TEST_F(TProcessTest, ProgramNamesResolveLikeWindows) {
  CopyChild("Runner.exe");
  EXPECT_EQ(platform::FindProgram("Runner"), Path("Runner.exe"));
  EXPECT_EQ(platform::FindProgram("RUNNER.EXE"), Path("Runner.exe"));
  SetEnv("TESMAR_TEST_CHILD", "out runner");
  ASSERT_EQ(Run("runner.exe").Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes("out.txt"), "runner\n");
}

// Windows starts its own programs; a file that only starts like one is
// refused with the system's code.
TEST_F(TProcessTest, WindowsProgramsGoThroughWine) {
  EXPECT_FALSE(platform::IsWindowsProgram(ChildProgram()));
  WriteBytes("prog.exe", std::string("MZ\x90\0\x03", 5) + "rest of a Windows program");
  const auto r = Run(R"(prog "a b" c)");
  EXPECT_EQ(r.Stage, platform::TRunStage::rsStartFailed);
  EXPECT_EQ(r.ErrorCode, NotAProgram);
}

#endif

TEST_F(TProcessTest, NoLengthLimitOnLinesOrNames) {
  const std::string word(400, 'w');
  const std::string dir = std::string(200, 'd') + "/" + std::string(200, 'e');
  fs::create_directories(Path(dir));
  const std::string in = Path(dir + "/" + std::string(150, 'i') + ".txt");
  const std::string out = Path(dir + "/" + std::string(150, 'o') + ".txt");
  ASSERT_GT(out.size(), 500u);
  WriteBytes(in, "from a long name\n");

  ASSERT_EQ(Run(ChildCommand("cat out " + word), in, out).Stage, platform::TRunStage::rsRan);
  EXPECT_EQ(ReadBytes(out), "from a long name\n" + word + "\n");
}

// The window stays alive during a long tool run: the callback runs while the
// child does, never after it ended, and a failing callback still lets the
// child finish before its exception is passed on. The child holds a lock
// that the system lets go only when it ends.
TEST_F(TProcessTest, WhileWaitingIsCalledDuringTheRunOnly) {
  int calls = 0, whileHeld = 0, afterTheEnd = 0;
  auto r = platform::RunRedirected(ChildCommand("hold held.lock sleep 300 out done"), "in.txt", "out.txt", [&] {
    ++calls;
    if (ChildHolds(Path("held.lock")))
      ++whileHeld;
    else if (whileHeld > 0)
      ++afterTheEnd;
  });
  ASSERT_EQ(r.Stage, platform::TRunStage::rsRan);
  EXPECT_GE(calls, 3);
  EXPECT_GE(whileHeld, 3);
  EXPECT_EQ(afterTheEnd, 0);
  EXPECT_FALSE(ChildHolds(Path("held.lock")));
  EXPECT_EQ(ReadBytes("out.txt"), "done\n");

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
  const auto r = platform::RunRedirected(ChildCommand("spawn grandchild.pid sleep 60000"), "in.txt", "out.txt", [&] {
    if (Exists("grandchild.pid") && ReadBytes("grandchild.pid").ends_with("\n")) throw platform::TEndChild("enough");
  });
  EXPECT_EQ(r.Stage, platform::TRunStage::rsRan);
  EXPECT_TRUE(r.Ended);
  EXPECT_EQ(r.EndReason, "enough");
  EXPECT_EQ(r.ExitCode, 1);
  const long grandchild = std::stol(ReadBytes("grandchild.pid"));
  EXPECT_TRUE(EndsSoon(grandchild)) << grandchild;
  EXPECT_TRUE(platform::ProcessIsRunning(platform::CurrentProcessId()));

  // A child that ends on its own is not marked.
  EXPECT_FALSE(platform::RunRedirected(ChildCommand("exit 0"), "in.txt", "out.txt", [] {}).Ended);
#else
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
#endif
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
