#include "engine/DOSToMemo.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "support/TestDir.h"

namespace {

class TDOSToMemoTest : public TTestDir {
 protected:
  void SetUp() override {
    TTestDir::SetUp();
    SetRunHook([this](bool starting) { HookCalls.push_back(starting); });
  }
  void TearDown() override {
    SetRunHook(nullptr);
    TTestDir::TearDown();
  }
  std::vector<bool> HookCalls;
};

const std::string OpenFailureHead =
    "DOS redirected  failed: DOS redirected \n\nWinApi function CreateFile returned aninvalid handle value\n";

#ifndef _WIN32
// The superuser opens any file: run as such, a run that must meet a file it
// may not read is made in a child process that has become the unprivileged
// user "nobody" (65534). Its result and message come back through a pipe.
bool RunAsAnUnprivilegedUser(const std::string& line, const std::string& input, const std::string& output,
                             std::string& message) {
  if (geteuid() != 0) return RunDosRedirected(line, input, output, message);
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) throw std::runtime_error("no pipe");
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0 || geteuid() == 0) _exit(2);
    const bool started = RunDosRedirected(line, input, output, message);
    const bool sent = write(pipeEnds[1], message.data(), message.size()) == static_cast<ssize_t>(message.size());
    _exit(sent ? started : 3);
  }
  close(pipeEnds[1]);
  message.clear();
  char buffer[4096];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) message.append(buffer, n);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) < 2) << "the unprivileged run failed: " << status;
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}
#endif

}  // namespace

TEST_F(TDOSToMemoTest, TheInputIsTheGivenFileOrAFakeOneAndTheOutputIsMadeAnew) {
  WriteBytes("tmpInput.txt", "old content that goes\r\n");
  std::string message = "caller's text";
  ASSERT_TRUE(RunDosRedirected(ChildCommand("cat"), "nothing-here.dat", "out.txt", message));
  EXPECT_EQ(message, "caller's text");
  EXPECT_EQ(ReadBytes("tmpInput.txt"), "fake input file\r\n");
  EXPECT_EQ(ReadBytes("out.txt"), "fake input file\r\n");
  EXPECT_FALSE(Exists("nothing-here.dat"));
  EXPECT_EQ(HookCalls, (std::vector<bool>{true, false}));

  std::filesystem::remove(Path("tmpInput.txt"));
  WriteBytes("started.dat", "");
  WriteBytes("TmpResults.dat", "left from the last run\r\n");
  ASSERT_TRUE(RunDosRedirected(ChildCommand("cat"), "started.dat", "TmpResults.dat", message));
  EXPECT_EQ(ReadBytes("TmpResults.dat"), "");
  EXPECT_FALSE(Exists("tmpInput.txt"));
  // The exit code is not looked at.
  EXPECT_TRUE(RunDosRedirected(ChildCommand("err failing exit 3"), "started.dat", "TmpResults.dat", message));
  EXPECT_EQ(message, "caller's text");
  EXPECT_EQ(ReadBytes("TmpResults.dat"), "failing\n");

  // A read-only fake input left where the run starts stops the run before
  // anything is started.
  WriteBytes("tmpInput.txt", "left behind\r\n");
  platform::SetReadOnly(Path("tmpInput.txt"), true);
  HookCalls.clear();
  EXPECT_THROW(RunDosRedirected(ChildCommand("cat"), "missing.txt", Path("new.txt"), message), TError);
  EXPECT_TRUE(HookCalls.empty());
  EXPECT_FALSE(Exists("new.txt"));
}

TEST_F(TDOSToMemoTest, WhatCannotStartOrBeOpenedIsTold) {
  for (const std::string line : {"", "   ", "NoSuchTool.exe -v x.rc"}) {
    platform::SetLastOSErrorCode(0);
    std::string message = "before";
    EXPECT_FALSE(RunDosRedirected(line, "in.txt", "out.txt", message)) << line;
    EXPECT_EQ(message, "DOS redirected  failed: WINAPI Error Code = 2") << line;
    EXPECT_EQ(platform::LastOSErrorCode(), 2) << line;
  }
  EXPECT_EQ(HookCalls, (std::vector<bool>{true, false, true, false, true, false}));

  // An output that cannot be made or an input that cannot be opened.
  HookCalls.clear();
  WriteBytes("in.txt", "secret\r\n");
  std::string message = "previous";
  EXPECT_FALSE(RunDosRedirected(ChildCommand("cat"), "in.txt", "no/such/dir/out.txt", message));
  EXPECT_EQ(message, OpenFailureHead + "for the output file * no/such/dir/out.txt *\n\nprevious");
  EXPECT_EQ(HookCalls, (std::vector<bool>{true, false}));

  message.clear();
#ifdef _WIN32
  // Another program holds the file open and shares it with nobody.
  const HANDLE held = CreateFileA(Path("in.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(RunDosRedirected(ChildCommand("cat"), "in.txt", "out.txt", message));
  CloseHandle(held);
#else
  std::filesystem::permissions(Path("in.txt"), std::filesystem::perms::none);
  EXPECT_FALSE(RunAsAnUnprivilegedUser(ChildCommand("cat"), "in.txt", "out.txt", message));
#endif
  EXPECT_EQ(message, OpenFailureHead + "for the input file * in.txt *\n\n");
}

#ifndef _WIN32
// A command that a stop check ends is ended with what it started, and the
// last line of its output says why; one that the check refuses is not started
// at all. (The time limit ends commands the same way.)
TEST_F(TDOSToMemoTest, StopCheckEndsOrRefusesCommands) {
  std::string message;
  bool ended = false;
  const auto old = SetRunStopCheck([this] { return Exists("begun") ? std::string("stopped by the test") : ""; });
  EXPECT_TRUE(RunDosRedirected(R"(/bin/sh -c "touch begun; echo; sleep 30")", "in.txt", "out.txt", message, &ended));
  EXPECT_TRUE(ended);
  EXPECT_EQ(ReadBytes("out.txt"), "\nsh was ended: stopped by the test\r\n");
  HookCalls.clear();
  EXPECT_FALSE(RunDosRedirected("cat", "in.txt", "out.txt", message, &ended));
  EXPECT_FALSE(ended);
  EXPECT_EQ(message, "DOS redirected  failed: cat was not started: stopped by the test");
  EXPECT_EQ(ReadBytes("out.txt"), "cat was not started: stopped by the test\r\n");
  EXPECT_TRUE(HookCalls.empty());
  SetRunStopCheck(old);
}
#endif
