#include "brcc32/RcIcon.h"

#include <stdexcept>

#include "common/ResFormat.h"

namespace tesmar_brcc {

using tesmar_res::AppendU16;
using tesmar_res::AppendU32;
using tesmar_res::AppendU8;

namespace {

constexpr std::size_t kDirHeaderSize = 6;
constexpr std::size_t kFileEntrySize = 16;
constexpr uint32_t kBitmapInfoHeaderSize = 40;

uint16_t U16(const std::string& b, std::size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}
uint32_t U32(const std::string& b, std::size_t at) {
  return static_cast<uint32_t>(U16(b, at)) | (static_cast<uint32_t>(U16(b, at + 2)) << 16);
}

}  // namespace

TIconParts SplitIconFile(const std::string& bytes, bool cursor, uint16_t firstId) {
  const char* what = cursor ? "cursor" : "icon";
  auto bad = [&](const std::string& why) {
    return std::runtime_error(std::string("not a valid ") + what + " file: " + why);
  };
  if (bytes.size() < kDirHeaderSize) throw bad("shorter than its header");
  if (U16(bytes, 0) != 0 || U16(bytes, 2) != (cursor ? 2 : 1)) throw bad("wrong header");
  const std::size_t count = U16(bytes, 4);
  if (count == 0) throw bad("no images");
  if (kDirHeaderSize + count * kFileEntrySize > bytes.size()) throw bad("directory runs past the end of the file");
  if (static_cast<std::size_t>(firstId) + count - 1 > 0xFFFF)
    throw std::runtime_error("too many icon and cursor images");

  TIconParts parts;
  std::size_t total = 0;
  AppendU16(parts.Group, 0);
  AppendU16(parts.Group, cursor ? 2 : 1);
  AppendU16(parts.Group, static_cast<uint16_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t e = kDirHeaderSize + i * kFileEntrySize;
    const auto width = static_cast<uint8_t>(bytes[e]);
    const auto height = static_cast<uint8_t>(bytes[e + 1]);
    const auto colors = static_cast<uint8_t>(bytes[e + 2]);
    uint16_t planes = U16(bytes, e + 4);  // the hot spot in a cursor file
    uint16_t bitCount = U16(bytes, e + 6);
    const uint32_t size = U32(bytes, e + 8);
    const uint32_t offset = U32(bytes, e + 12);
    if (size == 0 || offset > bytes.size() || size > bytes.size() - offset)
      throw bad("image " + std::to_string(i + 1) + " lies outside the file");
    // Images of a real file do not share bytes; a directory that claims more
    // than the file holds would only multiply memory.
    total += size;
    if (total > bytes.size()) throw bad("images overlap");
    const std::string image = bytes.substr(offset, size);
    // Directories often leave planes and bit count 0; the bitmap header knows them.
    uint16_t imagePlanes = 1, imageBits = 0;
    if (image.size() >= kBitmapInfoHeaderSize && U32(image, 0) == kBitmapInfoHeaderSize) {
      imagePlanes = U16(image, 12);
      imageBits = U16(image, 14);
    }
    const auto id = static_cast<uint16_t>(firstId + i);
    if (cursor) {
      std::string data;
      AppendU16(data, planes);    // hot spot x
      AppendU16(data, bitCount);  // hot spot y
      data += image;
      parts.Images.push_back(std::move(data));
      AppendU16(parts.Group, width == 0 ? 256 : width);
      AppendU16(parts.Group, static_cast<uint16_t>((height == 0 ? 256 : height) * 2));
      AppendU16(parts.Group, imagePlanes);
      AppendU16(parts.Group, imageBits);
      AppendU32(parts.Group, size + 4);
      AppendU16(parts.Group, id);
    } else {
      if (planes == 0) planes = imagePlanes;
      if (bitCount == 0) bitCount = imageBits;
      parts.Images.push_back(image);
      AppendU8(parts.Group, width);
      AppendU8(parts.Group, height);
      AppendU8(parts.Group, colors);
      AppendU8(parts.Group, 0);
      AppendU16(parts.Group, planes);
      AppendU16(parts.Group, bitCount);
      AppendU32(parts.Group, size);
      AppendU16(parts.Group, id);
    }
  }
  return parts;
}

}  // namespace tesmar_brcc
