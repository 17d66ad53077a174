#include "app/uLiveOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/TestDir.h"

namespace {

class LiveOutputTest : public TTestDir {
 protected:
  void Append(const std::string& bytes) { std::ofstream(Path("out.txt"), std::ios::binary | std::ios::app) << bytes; }
  std::string Read(bool ended = false, std::optional<std::uint64_t> written = std::nullopt) {
    const TLiveOutput::TChunk chunk = Live.Read(Path("out.txt"), ended, written);
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
