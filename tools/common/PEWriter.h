#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/ResReader.h"

namespace tesmar_tools {

// An image that cannot be laid out (resources too large for a 32-bit image).
class TPEWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TPEImageOptions {
  bool IsDll = false;
  bool Console = false;  // console subsystem instead of the GUI one
  uint32_t ImageBase = 0x00400000;
  uint32_t StackReserve = 0x00100000;
  uint32_t StackCommit = 0x00004000;
  std::vector<TResEntry> Resources;  // one per type/name/language, as merged
};

struct TPEImage {
  std::string Bytes;
  uint32_t CodeSize = 0;  // bytes of code in the .text section
  uint32_t DataSize = 0;  // bytes of initialized data (the resource section)
};

constexpr uint32_t PEFileAlignment = 0x200;
constexpr uint32_t PESectionAlignment = 0x1000;

// Lays out a PE32 image for i386: headers, a .text section holding a minimal
// entry point, and a .rsrc section with the resources when there are any.
TPEImage BuildPEImage(const TPEImageOptions& options);

// The bytes of a resource section (directory tree, data entries, names, data)
// for a section that is loaded at sectionRva.
std::string BuildResourceSection(const std::vector<TResEntry>& resources, uint32_t sectionRva);

}  // namespace tesmar_tools
