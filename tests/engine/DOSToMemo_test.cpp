#include "engine/DOSToMemo.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cstring>
#include <filesystem>
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
  // A socket, which no one opens as a file, not even the superuser.
  std::filesystem::remove(Path("in.txt"));
  const int socketEnd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, "in.txt");
  ASSERT_EQ(bind(socketEnd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  EXPECT_FALSE(RunDosRedirected(ChildCommand("cat"), "in.txt", "out.txt", message));
  close(socketEnd);
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

// While a command runs, its idle hook can follow what it writes: the output
// file is named, and holds what the command printed so far.
TEST_F(TDOSToMemoTest, TheIdleHookSeesTheOutputAsItIsWritten) {
  std::string message, seenFile, seenOutput, atEnd;
  const auto old = SetRunIdleHook([&] {
    seenFile = RunningOutputFile();
    if (Exists("out.txt")) seenOutput = ReadBytes("out.txt");
  });
  SetRunHook([&](bool starting) {
    if (!starting) atEnd = ReadBytes(RunningOutputFile());
  });
  ASSERT_TRUE(RunDosRedirected(ChildCommand("out first sleep 400 out second"), "in.txt", "out.txt", message));
  SetRunIdleHook(old);
  EXPECT_EQ(seenFile, "out.txt");
  EXPECT_EQ(seenOutput.substr(0, 6), "first\n");
  EXPECT_EQ(atEnd, "first\nsecond\n");
  EXPECT_EQ(RunningOutputFile(), "");
}
