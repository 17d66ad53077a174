#include "app/uLiveOutput.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

TLiveOutput::TChunk TLiveOutput::Read(const std::string& file, bool ended,
                                      std::optional<platform::TChildOutput> child) {
  if (file != File) {
    Close();
    File = file;
  }
  TChunk chunk = ReadFrom(ended, child);
  if (ended) Reset();
  return chunk;
}

void TLiveOutput::Reset() {
  Offset = 0;
  Partial.clear();
#ifdef _WIN32
  // There a file held open can be neither replaced nor deleted and made anew
  // by others: it is not kept from one command to the next.
  Reader.reset();
#endif
}

void TLiveOutput::Close() {
  Reset();
  Reader.reset();
  File.clear();
}

TLiveOutput::TChunk TLiveOutput::ReadFrom(bool last, const std::optional<platform::TChildOutput>& child) {
  TChunk chunk;
  std::string bytes;
  try {
    // The file kept open is read again while it is the one the runner
    // writes; else the name is opened, and the file kept when it is that one.
    std::unique_ptr<platform::TFileReader> opened;
    platform::TFileReader* reader = Reader.get();
    if (child && reader && reader->Key() == child->File) {
      reader->Refresh();
    } else {
      Reader.reset();
      opened = std::make_unique<platform::TFileReader>(File);
      reader = opened.get();
      if (child && opened->Key() == child->File) Reader = std::move(opened);
    }
    const std::uint64_t size = child && !last ? std::min(child->Written, reader->Size()) : reader->Size();
    if (size < Offset) {  // made anew
      Offset = 0;
      Partial.clear();
    }
    if (size - Offset > MaxChunk) {
      // Only the last lines are shown; the line cut into is not.
      chunk.Skipped = size - MaxChunk - Offset + Partial.size();
      Offset = size - MaxChunk;
      Partial.clear();
      bytes = reader->ReadAt(Offset, MaxChunk);
      const std::size_t lineEnd = bytes.find_first_of("\r\n");
      const std::size_t cut = lineEnd == std::string::npos ? bytes.size() : lineEnd + 1;
      chunk.Skipped += cut;
      bytes.erase(0, cut);
    } else {
      bytes = reader->ReadAt(Offset, static_cast<std::size_t>(size - Offset));
    }
    Offset = size;
  } catch (const std::exception&) {
    // Not there yet, or gone: nothing to show now.
    Reader.reset();
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
