#include "brcc32/RcVersionInfo.h"

#include <stdexcept>

#include "common/ResFormat.h"

namespace tesmar_brcc {

using tesmar_res::AppendU16;
using tesmar_res::AppendU32;
using tesmar_res::AppendUtf16;
using tesmar_res::PadToDword;

namespace {

constexpr uint16_t kBinaryType = 0;
constexpr uint16_t kTextType = 1;

void SetU16(std::string& out, std::size_t at, std::size_t value) {
  if (value > 0xFFFF) throw std::length_error("version information is larger than 64 KB");
  out[at] = static_cast<char>(value & 0xFF);
  out[at + 1] = static_cast<char>(value >> 8);
}

// Writes one node at out's end; 'root' is where the resource data starts, to
// which every boundary is counted.
void WriteNode(std::string& out, std::size_t root, const std::u16string& key, uint16_t type, std::size_t valueLength,
               const std::string& value, const std::vector<TVerNode>& children) {
  const std::size_t start = out.size();
  AppendU16(out, 0);  // wLength, set at the end
  AppendU16(out, 0);  // wValueLength
  SetU16(out, start + 2, valueLength);
  AppendU16(out, type);
  AppendUtf16(out, key, true);
  PadToDword(out, root);
  out += value;
  for (const TVerNode& child : children) {
    PadToDword(out, root);
    if (child.IsBlock) {
      WriteNode(out, root, child.Key, kTextType, 0, {}, child.Children);
    } else if (child.IsText) {
      std::string text;
      AppendUtf16(text, child.Text, true);
      WriteNode(out, root, child.Key, kTextType, child.Text.size() + 1, text, child.Children);
    } else {
      WriteNode(out, root, child.Key, kBinaryType, child.Binary.size(), child.Binary, child.Children);
    }
    if (out.size() - root > 0xFFFF) throw std::length_error("version information is larger than 64 KB");
  }
  SetU16(out, start, out.size() - start);
}

}  // namespace

std::string VersionInfoBytes(const TFixedFileInfo& fixed, const std::vector<TVerNode>& children) {
  std::string value;
  for (uint32_t v : {kFixedFileInfoSignature, kFixedFileInfoStrucVersion, fixed.FileVersionMS, fixed.FileVersionLS,
                     fixed.ProductVersionMS, fixed.ProductVersionLS, fixed.FileFlagsMask, fixed.FileFlags, fixed.FileOS,
                     fixed.FileType, fixed.FileSubtype, 0u, 0u})
    AppendU32(value, v);
  std::string out;
  WriteNode(out, 0, u"VS_VERSION_INFO", kBinaryType, kFixedFileInfoSize, value, children);
  return out;
}

}  // namespace tesmar_brcc
