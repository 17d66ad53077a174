#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tesmar_brcc {

// One BLOCK or VALUE of a VERSIONINFO resource.
struct TVerNode {
  std::u16string Key;
  bool IsBlock = false;
  bool IsText = false;  // a VALUE of strings; otherwise its Binary bytes
  std::u16string Text;  // without terminator; it is written with one
  std::string Binary;
  std::vector<TVerNode> Children;
};

// The numbers of VS_FIXEDFILEINFO that a script sets.
struct TFixedFileInfo {
  uint32_t FileVersionMS = 0;
  uint32_t FileVersionLS = 0;
  uint32_t ProductVersionMS = 0;
  uint32_t ProductVersionLS = 0;
  uint32_t FileFlagsMask = 0;
  uint32_t FileFlags = 0;
  uint32_t FileOS = 0;
  uint32_t FileType = 0;
  uint32_t FileSubtype = 0;
};

constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFixedFileInfoStrucVersion = 0x00010000;
constexpr uint16_t kFixedFileInfoSize = 52;

// The RT_VERSION data: VS_VERSIONINFO with the fixed part and the children,
// every node on a 32-bit boundary. Throws std::length_error when a node does
// not fit the 16-bit length fields.
std::string VersionInfoBytes(const TFixedFileInfo& fixed, const std::vector<TVerNode>& children);

}  // namespace tesmar_brcc
