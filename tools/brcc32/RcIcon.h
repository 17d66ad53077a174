#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tesmar_brcc {

// An .ico or .cur file cut into what a .RES file holds: one image resource
// per directory entry and the group directory that names them by id.
struct TIconParts {
  std::vector<std::string> Images;  // RT_ICON / RT_CURSOR data, in file order
  std::string Group;                // RT_GROUP_ICON / RT_GROUP_CURSOR data
};

// Images get the ids firstId, firstId + 1, ... Throws std::runtime_error with
// a readable reason when the bytes are not an icon (cursor) file.
TIconParts SplitIconFile(const std::string& bytes, bool cursor, uint16_t firstId);

}  // namespace tesmar_brcc
