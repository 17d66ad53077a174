#include "platform/TextFile.h"

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "support/Faults.h"
#include "support/TestDir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace platform;

TEST(TextLines, SplitAtCrLfAndCrLfMixes) {
  EXPECT_EQ(SplitLines(""), TStringList{});
  EXPECT_EQ(SplitLines("\r\n"), TStringList{""});
  EXPECT_EQ(SplitLines("a\r\nb"), (TStringList{"a", "b"}));
  EXPECT_EQ(SplitLines("a\r\nb\r\n"), (TStringList{"a", "b"}));
  EXPECT_EQ(SplitLines("a\rb\nc\r\n\n\rd"), (TStringList{"a", "b", "c", "", "", "d"}));
  // LF CR is two line ends, not one.
  EXPECT_EQ(SplitLines("a\n\rb"), (TStringList{"a", "", "b"}));
  EXPECT_EQ(SplitLines(std::string_view("a\0b\n", 4)), TStringList{std::string("a\0b", 3)});
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  EXPECT_EQ(NormalizeLineEnds("x\ny\r"), "x\r\ny\r\n");
  EXPECT_EQ(NormalizeLineEnds(""), "");
}

class TextFileTest : public TTestDir {};

TEST_F(TextFileTest, ReadsThroughCaseInsensitiveNames) {
  WriteBytes("Dir/App.RES", "one\rtwo\nthree");
  EXPECT_EQ(ReadTextLines("dir/app.res"), (TStringList{"one", "two", "three"}));
  EXPECT_EQ(ReadFileBytes("DIR/APP.res"), "one\rtwo\nthree");
}

TEST_F(TextFileTest, WritesCrLfAndReplacesTheExistingSpelling) {
  WriteBytes("Dir/App.RES", "old");
  WriteTextLines("dir/app.res", {"a", "b"});
  EXPECT_EQ(ReadBytes("Dir/App.RES"), "a\r\nb\r\n");
  EXPECT_EQ(Listing(), std::vector<std::string>{"Dir"});
  EXPECT_EQ(Listing("Dir"), std::vector<std::string>{"App.RES"});
  WriteTextLines("Summary.log.", {"s"});
  EXPECT_EQ(ReadBytes("Summary.log"), "s\r\n");
  WriteTextLines("empty.txt", {});
  EXPECT_EQ(ReadBytes("empty.txt"), "");
}

TEST_F(TextFileTest, ReadOnlyFileIsNotReplaced) {
  WriteBytes("ro.txt", "keep");
  SetReadOnly("ro.txt", true);
  EXPECT_THROW(WriteTextLines("RO.txt", {"new"}), TOSError);
  EXPECT_EQ(ReadBytes("ro.txt"), "keep");
  EXPECT_TRUE(IsReadOnly("ro.txt"));
}

TEST_F(TextFileTest, FailedWriteLeavesNoTemporaryFile) {
  WriteBytes("d/x", "");
  EXPECT_THROW(WriteFileBytes("d", "data"), TOSError);  // a directory
  EXPECT_THROW(WriteFileBytes("missing/f.txt", "data"), TOSError);
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(Root)) entries += e.path().filename() != "d";
  EXPECT_EQ(entries, 0);
}

TEST_F(TextFileTest, ReadFailuresAndSizeLimit) {
  try {
    ReadTextLines("missing.txt");
    FAIL() << "no exception";
  } catch (const TOSError& e) {
    // ENOENT and ERROR_FILE_NOT_FOUND are both 2, with the system's text.
    EXPECT_EQ(e.Code, 2);
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"missing.txt\". " + SystemErrorText(2));
  }
  WriteBytes("d/x", "");
  try {
    ReadFileBytes("d");
    FAIL() << "no exception";
  } catch (const TOSError& e) {
    // A directory: EISDIR, or ERROR_ACCESS_DENIED on Windows, which opens no directory as a file.
#ifdef _WIN32
    EXPECT_EQ(e.Code, 5);
#else
    EXPECT_EQ(e.Code, EISDIR);
#endif
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"d\". " + SystemErrorText(e.Code));
  }
  WriteBytes("big.bin", std::string(1000, 'x'));
  EXPECT_EQ(ReadFileBytes("big.bin", 1000).size(), 1000u);
  EXPECT_THROW(ReadFileBytes("big.bin", 999), TError);
  // Larger than one read buffer, to cover the check across chunks.
  WriteBytes("bigger.bin", std::string(200000, 'y'));
  EXPECT_THROW(ReadFileBytes("bigger.bin", 150000), TError);
}

// Writing what a file holds already leaves it alone (a build writes the same
// configuration every time); other content replaces it, and a read-only file
// is refused either way.
TEST_F(TextFileTest, SameContentLeavesTheFileAloneButReadOnlyIsStillRefused) {
  WriteBytes("same.txt", "a\r\nb\r\n");
  const auto before = std::filesystem::last_write_time(Path("same.txt"));
  std::filesystem::last_write_time(Path("same.txt"), before - std::chrono::hours(1));
  const auto old = std::filesystem::last_write_time(Path("same.txt"));
  platform::WriteTextLines(Path("same.txt"), {"a", "b"});
  EXPECT_EQ(std::filesystem::last_write_time(Path("same.txt")), old);
  platform::WriteTextLines(Path("same.txt"), {"a", "c"});
  EXPECT_EQ(ReadBytes("same.txt"), "a\r\nc\r\n");
  EXPECT_NE(std::filesystem::last_write_time(Path("same.txt")), old);
  platform::SetReadOnly(Path("same.txt"), true);
  EXPECT_THROW(platform::WriteTextLines(Path("same.txt"), {"a", "c"}), TOSError);
}

// A full disk fails a write, an append and a new file alike, and leaves every
// file as it was, with nothing beside it.
TEST_F(TextFileTest, AFullDiskFailsTheWriteAndKeepsWhatWasThere) {
  WriteBytes("f.txt", "old\r\n");
  for (auto stage : {TWriteStage::wsOpened, TWriteStage::wsWritten}) {
    const TFullDisk full(".txt", stage);
    for (auto write : {+[] { WriteTextLines("f.txt", {"new"}); }, +[] { AppendFileBytes("f.txt", "more\r\n"); },
                       +[] { WriteTextLines("g.txt", {"new"}); }}) {
      try {
        write();
        ADD_FAILURE() << "no exception";
      } catch (const TOSError& e) {
        // The system's code for a full disk: ENOSPC, or ERROR_DISK_FULL on Windows.
#ifdef _WIN32
        EXPECT_EQ(e.Code, 112) << e.what();
#else
        EXPECT_EQ(e.Code, ENOSPC) << e.what();
#endif
        EXPECT_EQ(std::string(e.what()).substr(std::string(e.what()).find(". ") + 2), SystemErrorText(e.Code));
      }
    }
    EXPECT_EQ(ReadBytes("f.txt"), "old\r\n");
    EXPECT_FALSE(Exists("g.txt"));
    EXPECT_EQ(LeftoversOf(Root, "f.txt") + LeftoversOf(Root, "g.txt"), 0);
  }
}

#ifndef _WIN32
// A kill at any point of a write leaves the old file whole, or no file where
// none stood, never an empty or cut one. What it left beside the file goes
// with the next save of that file; what a running process writes stays.
TEST_F(TextFileTest, AKilledWriteLeavesTheFileWholeAndTheNextSaveTidiesUp) {
  WriteBytes("old.txt", "old\r\n");
  for (auto stage : {TWriteStage::wsOpened, TWriteStage::wsWritten}) {
    EXPECT_TRUE(KilledWhileWriting([] { WriteTextLines("new.txt", {"new"}); }, "new.txt", stage));
    EXPECT_TRUE(KilledWhileWriting([] { WriteTextLines("old.txt", {"new"}); }, "old.txt", stage));
    EXPECT_FALSE(Exists("new.txt"));
    EXPECT_EQ(ReadBytes("old.txt"), "old\r\n");
  }
  // The second kill's save already took away what the first one left.
  EXPECT_EQ(LeftoversOf(Root, "new.txt"), 1);
  WriteBytes("new.txt.~1-5.tmp", "being written by process 1, which runs");
  WriteBytes("new.txt.~x-5.tmp", "not one of ours");
  WriteTextLines("new.txt", {"new"});
  WriteTextLines("old.txt", {"new"});
  EXPECT_EQ(ReadBytes("new.txt"), "new\r\n");
  EXPECT_EQ(ReadBytes("old.txt"), "new\r\n");
  EXPECT_EQ(LeftoversOf(Root, "old.txt"), 0);
  EXPECT_EQ(LeftoversOf(Root, "new.txt"), 2);  // the two below
  EXPECT_TRUE(Exists("new.txt.~1-5.tmp"));
  EXPECT_TRUE(Exists("new.txt.~x-5.tmp"));
}

// Opening a pipe without a writer, or a terminal, waits for ever; reading a
// device may never end. Such names are refused at once.
TEST_F(TextFileTest, PipesAndDevicesAreRefusedNotWaitedOn) {
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
  for (const std::string& name : {Path("fifo"), std::string("/dev/zero")}) {
    try {
      ReadFileBytes(name);
      ADD_FAILURE() << name;
    } catch (const TError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot open file \"" + name + "\". It is not a regular file (a pipe, a device or a socket).");
    }
  }
}
#endif
