#include "app/uLiveOutput.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

#include "platform/FileSystem.h"

TLiveOutput::TChunk TLiveOutput::Read(const std::string& file, bool ended, std::optional<std::uint64_t> written) {
  if (file != File) {
    Reset();
    File = file;
  }
  TChunk chunk = ReadFrom(ended, written);
  if (ended) Reset();
  return chunk;
}

void TLiveOutput::Reset() {
  File.clear();
  Offset = 0;
  Partial.clear();
}

TLiveOutput::TChunk TLiveOutput::ReadFrom(bool last, std::optional<std::uint64_t> written) {
  TChunk chunk;
  std::string bytes;
  try {
    const platform::TFileReader reader(File);
    const std::uint64_t size = written ? std::min(*written, reader.Size()) : reader.Size();
    if (size < Offset) {  // made anew
      Offset = 0;
      Partial.clear();
    }
    if (size - Offset > MaxChunk) {
      // Only the last lines are shown; the line cut into is not.
      chunk.Skipped = size - MaxChunk - Offset + Partial.size();
      Offset = size - MaxChunk;
      Partial.clear();
      bytes = reader.ReadAt(Offset, MaxChunk);
      const std::size_t lineEnd = bytes.find_first_of("\r\n");
      const std::size_t cut = lineEnd == std::string::npos ? bytes.size() : lineEnd + 1;
      chunk.Skipped += cut;
      bytes.erase(0, cut);
    } else {
      bytes = reader.ReadAt(Offset, static_cast<std::size_t>(size - Offset));
    }
    Offset = size;
  } catch (const std::exception&) {
    // Not there yet, or gone: nothing to show now.
  }
  bytes.insert(0, Partial);
  Partial.clear();
  // Whole lines only, unless the command has ended or a line grows past what
  // a screen shows of one. A CR at the end waits for the LF that may follow.
  const bool waitingCr = !bytes.empty() && bytes.back() == '\r';
  const std::size_t lastEnd =
      waitingCr ? (bytes.size() < 2 ? std::string::npos : bytes.find_last_of("\r\n", bytes.size() - 2))
                : bytes.find_last_of("\r\n");
  const std::size_t whole = lastEnd == std::string::npos ? 0 : lastEnd + 1;
  if (!last && bytes.size() - whole <= MaxChunk) {
    Partial = bytes.substr(whole);
    bytes.resize(whole);
  }
  // Of more lines than a screen shows, the last ones: laying out thousands of
  // short lines would hold the window up for nothing.
  std::size_t breaks = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) {
    const bool lineBreak = bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'));
    if (lineBreak && i + 1 < bytes.size() && ++breaks == MaxLines) {
      chunk.Skipped += i + 1;
      bytes.erase(0, i + 1);
      break;
    }
  }
  chunk.Text = std::move(bytes);
  return chunk;
}
