#pragma once

#include <cstdint>
#include <optional>
#include <string>

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
  // ended, its last line comes too, even without a line end, and the file is
  // forgotten. Where the command is known to have written only so many bytes
  // of it, what lies beyond them (left from an earlier run) is not read.
  TChunk Read(const std::string& file, bool ended = false, std::optional<std::uint64_t> written = std::nullopt);
  // Forgets the file: the next command starts.
  void Reset();

 private:
  TChunk ReadFrom(bool last, std::optional<std::uint64_t> written);
  std::string File;
  std::uint64_t Offset = 0;
  // The start of a line whose end has not been written yet.
  std::string Partial;
};
