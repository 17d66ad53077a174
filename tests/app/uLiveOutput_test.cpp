#include "app/uLiveOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/TestDir.h"

namespace {

class LiveOutputTest : public TTestDir {
 protected:
  void Append(const std::string& bytes) { std::ofstream(Path("out.txt"), std::ios::binary | std::ios::app) << bytes; }
  // written: as the runner tells it, of the file the name leads to now.
  std::string Read(bool ended = false, std::optional<std::uint64_t> written = std::nullopt) {
    std::optional<platform::TChildOutput> child;
    if (written) child = platform::TChildOutput{platform::TFileReader(Path("out.txt")).Key(), *written};
    const TLiveOutput::TChunk chunk = Live.Read(Path("out.txt"), ended, child);
    return (chunk.Skipped ? "(" + std::to_string(chunk.Skipped) + ")" : "") + chunk.Text;
  }
  TLiveOutput Live;
};

// Whole lines as they are written; a line still being written, or a CR that
// an LF may follow, waits; the last line comes when the command has ended.
TEST_F(LiveOutputTest, WholeLinesComeAsTheyAreWritten) {
  EXPECT_EQ(Read(), "");  // not there yet
  Append("one\r\ntw");
  EXPECT_EQ(Read(), "one\r\n");
  Append("o\r");
  EXPECT_EQ(Read(), "");
  Append("\nthree");
  EXPECT_EQ(Read(), "two\r\n");
  EXPECT_EQ(Read(true), "three");
  // Forgotten once ended: a new command's file is read from its start.
  EXPECT_EQ(Read(), "one\r\ntwo\r\n");
}

// What the running command has not written yet is left from an earlier run
// and is not shown; a file made anew (shorter) is read from its start.
TEST_F(LiveOutputTest, OnlyWhatTheCommandWroteIsShown) {
  Append("first\nsecond from before\n");
  EXPECT_EQ(Read(false, 6), "first\n");
  EXPECT_EQ(Read(false, 6), "");
  std::ofstream(Path("out.txt"), std::ios::binary) << "new\n";
  EXPECT_EQ(Read(), "new\n");
}

// The file the runner writes is read again from one command to the next, as
// the runner writes it anew from its start; a file made anew under its name
// is opened.
TEST_F(LiveOutputTest, TheRunnersFileIsFollowedFromCommandToCommand) {
  Append("one\n");
  EXPECT_EQ(Read(true, 4), "one\n");
  std::fstream(Path("out.txt"), std::ios::in | std::ios::out | std::ios::binary) << "two\n";
  EXPECT_EQ(Read(false, 4), "two\n");
  EXPECT_EQ(Read(true, 4), "");
  std::ofstream(Path("made-anew.txt"), std::ios::binary) << "three\n";
  std::filesystem::rename(Path("made-anew.txt"), Path("out.txt"));
  EXPECT_EQ(Read(true, 6), "three\n");
  // A line the runner adds after the command's end comes too.
  std::fstream(Path("out.txt"), std::ios::in | std::ios::out | std::ios::binary) << "four\n";
  std::filesystem::resize_file(Path("out.txt"), 5);  // cut where the command's output ends
  Append("was ended\n");
  EXPECT_EQ(Read(true, 5), "four\nwas ended\n");
}

// Of more than a screen holds only the last whole lines are read, and how
// much was passed over is told: of many long lines the last bytes, of many
// short ones the last lines.
TEST_F(LiveOutputTest, AFloodIsReadFromItsLastLines) {
  for (const std::size_t width : {99, 9}) {
    const std::string line(width, 'x');
    std::string flood;
    while (flood.size() < 3 * TLiveOutput::MaxChunk) flood += line + "\n";
    std::filesystem::remove(Path("out.txt"));
    Append(flood);
    const TLiveOutput::TChunk chunk = Live.Read(Path("out.txt"), true);
    EXPECT_EQ(chunk.Skipped + chunk.Text.size(), flood.size());
    EXPECT_LE(chunk.Text.size(), TLiveOutput::MaxChunk);
    EXPECT_EQ(chunk.Text.substr(0, width + 1), line + "\n");
    EXPECT_LE(static_cast<std::size_t>(std::count(chunk.Text.begin(), chunk.Text.end(), '\n')), TLiveOutput::MaxLines);
  }
}

}  // namespace
