#include "platform/TextFile.h"

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "support/Faults.h"
#include "support/ToolsTest.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace platform;

TEST(TextLines, SplitAtCrLfAndCrLfMixes) {
  const std::pair<std::string, TStringList> cases[] = {
      {"", {}},
      {"\r\n", {""}},
      {"a\r\nb", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\nc\r\n\n\rd", {"a", "b", "c", "", "", "d"}},
      {"a\n\rb", {"a", "", "b"}},  // LF CR is two line ends, not one
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
  };
  for (const auto& [text, lines] : cases) EXPECT_EQ(SplitLines(text), lines) << text;
  EXPECT_EQ(JoinLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  // Normalizing is splitting and joining, whether or not the text was normal.
  for (const std::string text : {"", "\r\n", "a\r\n", "a\r\r\n", "\ra\r\n", "a\r\nb", "x\ny\r", "\n", "a\n\r\n"}) {
    EXPECT_EQ(NormalizeLineEnds(text), JoinLines(SplitLines(text))) << text;
    EXPECT_EQ(LineEndsAreNormal(text), NormalizeLineEnds(text) == text) << text;
  }
  for (const auto& [text, lines] : cases) EXPECT_EQ(NormalizeLineEnds(text), JoinLines(lines)) << text;
}

class TextFileTest : public TTestDir {};

// A file read line by line gives the lines its whole text gives, also where a
// CR LF or a long line meets the end of a block read.
TEST_F(TextFileTest, LinesOfAFileReadAsTheyComeAreThoseOfItsText) {
  const std::string block(65535, 'a');
  for (const std::string& text : {std::string(), std::string("\r"), std::string("a\r\nb"), std::string("a\rb\n\n"),
                                  block + "\r\nb\r", block + "\r\r\n", block + block + block + "\nz"}) {
    WriteBytes("lines.txt", text);
    TStringList lines;
    ForEachFileLine(Path("lines.txt"), [&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_EQ(lines, SplitLines(text)) << text.size();
  }
  EXPECT_THROW(ForEachFileLine(Path("none.txt"), [](std::string_view) {}), TOSError);
}

TEST_F(TextFileTest, ReadAndWriteThroughTheExistingSpelling) {
  WriteBytes("Dir/App.RES", "one\rtwo\nthree");
  EXPECT_EQ(ReadTextLines("dir/app.res"), (TStringList{"one", "two", "three"}));
  EXPECT_EQ(ReadFileBytes("DIR/APP.res"), "one\rtwo\nthree");
  WriteTextLines("dir/app.res", {"a", "b"});
  EXPECT_EQ(ReadBytes("Dir/App.RES"), "a\r\nb\r\n");
  EXPECT_EQ(Listing(), std::vector<std::string>{"Dir"});
  EXPECT_EQ(Listing("Dir"), std::vector<std::string>{"App.RES"});
  WriteTextLines("Summary.log.", {"s"});
  EXPECT_EQ(ReadBytes("Summary.log"), "s\r\n");
  WriteTextLines("empty.txt", {});
  EXPECT_EQ(ReadBytes("empty.txt"), "");
}

// Writing what a file holds already leaves it alone (a build writes the same
// configuration every time); other content replaces it, and a read-only file
// is refused either way and stays as it was.
TEST_F(TextFileTest, SameContentLeavesTheFileAloneAndReadOnlyIsRefused) {
  WriteBytes("same.txt", "a\r\nb\r\n");
  const auto before = std::filesystem::last_write_time(Path("same.txt"));
  std::filesystem::last_write_time(Path("same.txt"), before - std::chrono::hours(1));
  const auto old = std::filesystem::last_write_time(Path("same.txt"));
  WriteTextLines(Path("same.txt"), {"a", "b"});
  EXPECT_EQ(std::filesystem::last_write_time(Path("same.txt")), old);
  WriteTextLines(Path("same.txt"), {"a", "c"});
  EXPECT_EQ(ReadBytes("same.txt"), "a\r\nc\r\n");
  EXPECT_NE(std::filesystem::last_write_time(Path("same.txt")), old);
  SetReadOnly(Path("same.txt"), true);
  EXPECT_THROW(WriteTextLines(Path("same.txt"), {"a", "c"}), TOSError);
  EXPECT_THROW(WriteTextLines("SAME.txt", {"new"}), TOSError);
  EXPECT_EQ(ReadBytes("same.txt"), "a\r\nc\r\n");
  EXPECT_TRUE(IsReadOnly("same.txt"));

  // A failed write leaves nothing beside the file.
  WriteBytes("d/x", "");
  EXPECT_THROW(WriteFileBytes("d", "data"), TOSError);  // a directory
  EXPECT_THROW(WriteFileBytes("missing/f.txt", "data"), TOSError);
  EXPECT_EQ(Listing(), (std::vector<std::string>{"d", "same.txt"}));
}

// A file written in pieces takes its place whole at Commit; a writer dropped
// before that (a failed build run) leaves the old file and nothing beside it.
TEST_F(TextFileTest, AFileWrittenInPiecesAppearsOnlyWhenCommitted) {
  WriteBytes("Compile.log", "last run\r\n");
  {
    TFileWriter log(Path("Compile.log"));
    log.Write("this run, ");
    EXPECT_EQ(ReadBytes("Compile.log"), "last run\r\n");
  }
  EXPECT_EQ(ReadBytes("Compile.log"), "last run\r\n");
  EXPECT_EQ(LeftoversOf(Root, "Compile.log"), 0);
  TFileWriter log(Path("Compile.log"));
  log.Write("this run, ");
  log.Write("");
  log.Write("whole\r\n");
  log.Commit();
  EXPECT_EQ(ReadBytes("Compile.log"), "this run, whole\r\n");
  EXPECT_THROW(log.Write("more"), TOSError);
  EXPECT_EQ(LeftoversOf(Root, "Compile.log"), 0);
}

TEST_F(TextFileTest, ReadFailuresAndSizeLimit) {
  WriteBytes("d/x", "");
  // A directory: EISDIR, or ERROR_ACCESS_DENIED on Windows, which opens no
  // directory as a file; a missing file: ENOENT or ERROR_FILE_NOT_FOUND, both 2.
#ifdef _WIN32
  const int directory = 5;
#else
  const int directory = EISDIR;
#endif
  for (const auto& [name, code] : std::vector<std::pair<std::string, int>>{{"missing.txt", 2}, {"d", directory}}) {
    try {
      ReadTextLines(name);
      ADD_FAILURE() << name;
    } catch (const TOSError& e) {
      EXPECT_EQ(e.Code, code);
      EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + name + "\". " + SystemErrorText(code));
    }
  }
  WriteBytes("big.bin", std::string(1000, 'x'));
  EXPECT_EQ(ReadFileBytes("big.bin", 1000).size(), 1000u);
  EXPECT_THROW(ReadFileBytes("big.bin", 999), TError);
  // Larger than one read buffer, to cover the check across chunks.
  WriteBytes("bigger.bin", std::string(200000, 'y'));
  EXPECT_THROW(ReadFileBytes("bigger.bin", 150000), TError);
  EXPECT_EQ(ReadFileBytes("bigger.bin"), std::string(200000, 'y'));
  WriteBytes("empty.txt", "");
  EXPECT_EQ(ReadFileBytes("empty.txt"), "");
#ifndef _WIN32
  // The system's own files tell no size: read whole all the same, and their
  // size checked as they are read.
  EXPECT_NE(ReadFileBytes("/proc/self/status").find("\nPid:"), std::string::npos);
  EXPECT_EQ(ErrorText<TError>([] { ReadFileBytes("/proc/self/status", 10); }),
            "The file \"/proc/self/status\" is too large to be read (more than 10 bytes).");
#endif
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
#ifndef _WIN32
// A link is never replaced: a write goes to the file it leads to (through a
// chain of links too), and a link that leads nowhere is an error naming its
// target, which is not made.
TEST_F(TextFileTest, WritesGoThroughLinksAndALinkToNothingIsRefused) {
  WriteBytes("share/Default.config", "old\r\n");
  std::filesystem::create_symlink(Path("share/Default.config"), Path("first"));
  std::filesystem::create_symlink("first", Path("second"));
  WriteTextLines(Path("second"), {"new"});
  AppendFileBytes(Path("first"), "more\r\n");
  EXPECT_EQ(ReadBytes("share/Default.config"), "new\r\nmore\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(Path("first")));
  EXPECT_TRUE(std::filesystem::is_symlink(Path("second")));

  std::filesystem::create_symlink(Path("unmounted/Default.config"), Path("dangling"));
  for (auto write : {+[](const std::string& f) { WriteTextLines(f, {"x"}); },
                     +[](const std::string& f) { AppendFileBytes(f, "x"); }}) {
    try {
      write(Path("dangling"));
      ADD_FAILURE() << "written through a link to nothing";
    } catch (const TOSError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + Path("dangling") + "\". " + Path("dangling") +
                                           " is a link to " + Path("unmounted/Default.config") +
                                           ", which does not exist");
    }
  }
  EXPECT_TRUE(std::filesystem::is_symlink(Path("dangling")));
  EXPECT_FALSE(Exists("unmounted"));
}
#endif

TEST_F(TextFileTest, PipesAndDevicesAreRefusedNotWaitedOn) {
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
  for (const std::string& name : {Path("fifo"), std::string("/dev/zero")}) {
    EXPECT_EQ(ErrorText<TError>([&] { ReadFileBytes(name); }),
              "Cannot open file \"" + name + "\". It is not a regular file (a pipe, a device or a socket).");
  }
}
#endif
