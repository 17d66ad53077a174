#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/FileSystem.h"
#include "platform/Process.h"

// Follows the output file of a running command as it grows. Each Read gives
// the whole lines written since the last one; of more than fits a screen
// only the last lines are read (the whole output goes to the logs), so that
// a tool printing megabytes costs the window no more than one that prints
// little.
class TLiveOutput {
 public:
  struct TChunk {
    std::string Text;           // whole lines, each with its line end
    std::uint64_t Skipped = 0;  // bytes passed over before them
  };
  // The most read at one time, and the most lines given of it.
  static constexpr std::uint64_t MaxChunk = 64 * 1024;
  static constexpr std::size_t MaxLines = 500;

  // What was added to file since the last Read of it: from its start for a
  // file other than the last one, or one that has become shorter (made
  // anew). A file that cannot be read gives nothing. Once the command has
  // ended, its last line comes too, even without a line end. Where the
  // runner tells what the command wrote (child), what lies beyond that (left
  // from an earlier run) is not read while it runs, and the file stays open
  // from one read, and one command, to the next while it is the one the
  // runner writes: no name is looked up and no file opened at each read.
  TChunk Read(const std::string& file, bool ended = false, std::optional<platform::TChildOutput> child = std::nullopt);
  // Forgets what was read: the next command starts.
  void Reset();
  // Closes the file too: the build is over.
  void Close();

 private:
  TChunk ReadFrom(bool last, const std::optional<platform::TChildOutput>& child);
  std::string File;
  std::unique_ptr<platform::TFileReader> Reader;
  std::uint64_t Offset = 0;
  // The start of a line whose end has not been written yet.
  std::string Partial;
};
