#include "platform/TextFile.h"

#include <chrono>
#include <filesystem>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "support/TestDir.h"

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
  EXPECT_FALSE(Exists("dir"));
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
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"missing.txt\"", 0), 0u) << e.what();
  }
  WriteBytes("d/x", "");
  EXPECT_THROW(ReadFileBytes("d"), TOSError);
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
