#pragma once

#include <functional>
#include <string>

#include "platform/TextFile.h"

// Failures that a test cannot bring about for real: a full disk, and a kill
// in the middle of a write.

// While one lives, every write of a file whose name ends with nameEnd fails at
// the given stage as a full disk does (ENOSPC).
class TFullDisk {
 public:
  explicit TFullDisk(std::string nameEnd, platform::TWriteStage stage = platform::TWriteStage::wsWritten);
  ~TFullDisk();
  TFullDisk(const TFullDisk&) = delete;
  TFullDisk& operator=(const TFullDisk&) = delete;

 private:
  platform::TWriteFault Previous;
};

// Whether a process has ended, waiting a few seconds for it (a kill takes the
// system a moment). A zombie that nobody reaps, as an orphan in a container
// may stay, has ended.
bool EndsSoon(long pid);

#ifndef _WIN32

// Runs work in a child process that is killed (SIGKILL) the moment it writes
// a file whose name ends with nameEnd and reaches the given stage. True when
// the child died there; false when it ended otherwise.
bool KilledWhileWriting(const std::function<void()>& work, const std::string& nameEnd, platform::TWriteStage stage);
#endif

// How many files that writes of dir/name wrote beside it are still there.
int LeftoversOf(const std::string& dir, const std::string& name);
