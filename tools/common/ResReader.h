#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/ResFormat.h"

namespace tesmar_tools {

// A damaged or unsupported .RES file; what() says what is wrong with it.
class TResFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The entries are those the resource compiler writes.
using TResId = tesmar_res::TResId;
using TResEntry = tesmar_res::TResEntry;

// Windows looks resource names up without regard to (ASCII) letter case, so
// two names that differ only in case are the same resource.
bool SameResId(const TResId& a, const TResId& b);
// Readable form for messages: "10" or "MAINICON" (non-ASCII shown as '?').
std::string ResIdText(const TResId& id);

// Largest .RES file accepted; anything bigger cannot go into a 32-bit image.
constexpr uint64_t MaxResFileSize = 256u * 1024u * 1024u;

// Parses the bytes of a 32-bit .RES file. The leading empty entry that marks
// the 32-bit format is required and not returned. Throws TResFileError.
std::vector<TResEntry> ParseResFile(const std::string& bytes);
// Reads and parses a file. Throws TResFileError (also when it cannot be read).
std::vector<TResEntry> ReadResFile(const std::string& fileName);

// Adds entries to a list; an entry with the type, name and language of one
// already there replaces it in place.
void MergeResources(std::vector<TResEntry>& into, const std::vector<TResEntry>& entries);

}  // namespace tesmar_tools
