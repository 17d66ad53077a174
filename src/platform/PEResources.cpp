#include "platform/PEResources.h"

#include <algorithm>
#include <vector>

namespace platform {
namespace {

// Offsets are 64-bit so that adding two 32-bit fields can never wrap.
using TOffset = std::uint64_t;

// The largest structure read on the way to a resource (a section header).
constexpr TOffset MaxStructureRead = 64;

bool Read16(std::string_view bytes, TOffset at, std::uint16_t& out) {
  if (at > bytes.size() || bytes.size() - at < 2) return false;
  out = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                                               << 8);
  return true;
}

// The bytes of an image, read a few at a time where its structures point.
struct TBytes {
  std::uint64_t Size = 0;
  const TImageReadAt* ReadAt = nullptr;

  // `length` bytes from `at` on, or nothing when they are not all there.
  std::optional<std::string> Get(TOffset at, TOffset length) const {
    if (at > Size || Size - at < length || length > MaxStructureRead) return std::nullopt;
    std::string bytes = (*ReadAt)(at, static_cast<std::size_t>(length));
    if (bytes.size() != length) return std::nullopt;
    return bytes;
  }
  bool Read16(TOffset at, std::uint16_t& out) const {
    auto b = Get(at, 2);
    if (!b) return false;
    out = static_cast<std::uint16_t>(static_cast<unsigned char>((*b)[0]) | static_cast<unsigned char>((*b)[1]) << 8);
    return true;
  }
  bool Read32(TOffset at, std::uint32_t& out) const {
    std::uint16_t low = 0, high = 0;
    if (!Read16(at, low) || !Read16(at + 2, high)) return false;
    out = static_cast<std::uint32_t>(low) | static_cast<std::uint32_t>(high) << 16;
    return true;
  }
};

// A part of the image: where it starts in the file and how long it is there.
struct TSpan {
  TOffset Begin = 0;
  TOffset Length = 0;
};

// ---------------------------------------------------------------------------
// PE image

struct TSection {
  std::uint32_t VirtualAddress = 0;
  std::uint32_t RawSize = 0;
  std::uint32_t RawPointer = 0;
};

constexpr std::uint16_t MagicPE32 = 0x10b;
constexpr std::uint16_t MagicPE32Plus = 0x20b;
constexpr std::uint32_t ResourceDirectoryIndex = 2;
constexpr std::size_t SectionHeaderSize = 40;

struct TImage {
  TBytes Bytes;
  std::uint32_t ResourceRva = 0;
  std::vector<TSection> Sections;

  // The file bytes of a virtual address onwards, to the end of its section's
  // data in the file (a section may claim more than the file holds).
  std::optional<TSpan> MapFrom(TOffset rva) const {
    for (const TSection& s : Sections) {
      if (rva < s.VirtualAddress || rva - s.VirtualAddress >= s.RawSize) continue;
      TOffset start = static_cast<TOffset>(s.RawPointer) + (rva - s.VirtualAddress);
      TOffset end = std::min<TOffset>(static_cast<TOffset>(s.RawPointer) + s.RawSize, Bytes.Size);
      if (start >= end) return std::nullopt;
      return TSpan{start, end - start};
    }
    return std::nullopt;
  }
};

std::optional<TImage> ReadImage(const TBytes& bytes) {
  auto mz = bytes.Get(0, 2);
  if (!mz || *mz != "MZ") return std::nullopt;
  std::uint32_t peOffset = 0;
  if (!bytes.Read32(0x3c, peOffset)) return std::nullopt;
  auto signature = bytes.Get(peOffset, 4);
  if (!signature || *signature != std::string_view("PE\0\0", 4)) return std::nullopt;

  const TOffset coff = static_cast<TOffset>(peOffset) + 4;
  std::uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
  if (!bytes.Read16(coff + 2, sectionCount) || !bytes.Read16(coff + 16, optionalSize)) return std::nullopt;
  const TOffset optional = coff + 20;
  if (optionalSize < 2 || !bytes.Read16(optional, magic)) return std::nullopt;

  // The data directories follow the fields whose width differs between the two.
  TOffset countField = 0;
  if (magic == MagicPE32)
    countField = 92;
  else if (magic == MagicPE32Plus)
    countField = 108;
  else
    return std::nullopt;
  const TOffset directories = countField + 4;
  const TOffset resourceEntry = directories + 8 * ResourceDirectoryIndex;
  std::uint32_t directoryCount = 0;
  TImage image;
  image.Bytes = bytes;
  if (optionalSize < resourceEntry + 8 || !bytes.Read32(optional + countField, directoryCount) ||
      directoryCount <= ResourceDirectoryIndex || !bytes.Read32(optional + resourceEntry, image.ResourceRva))
    return std::nullopt;
  if (image.ResourceRva == 0) return std::nullopt;

  const TOffset table = optional + optionalSize;
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const TOffset header = table + static_cast<TOffset>(i) * SectionHeaderSize;
    auto h = bytes.Get(header, SectionHeaderSize);
    if (!h) break;  // a table cut short: use what is there
    auto field = [&](std::size_t at) {
      return static_cast<std::uint32_t>(static_cast<unsigned char>((*h)[at])) |
             static_cast<std::uint32_t>(static_cast<unsigned char>((*h)[at + 1])) << 8 |
             static_cast<std::uint32_t>(static_cast<unsigned char>((*h)[at + 2])) << 16 |
             static_cast<std::uint32_t>(static_cast<unsigned char>((*h)[at + 3])) << 24;
    };
    image.Sections.push_back({field(12), field(16), field(20)});
  }
  return image;
}

// ---------------------------------------------------------------------------
// Resource directory: three levels (type, name, language). Every offset is
// relative to the start of the resource data and checked against it.

constexpr std::uint32_t HighBit = 0x80000000u;
constexpr std::size_t DirectoryHeaderSize = 16;
constexpr std::size_t DirectoryEntrySize = 8;
constexpr std::size_t DataEntrySize = 16;

struct TEntry {
  std::uint32_t Name = 0;
  std::uint32_t Target = 0;  // a subdirectory when HighBit is set
};

struct TDirectory {
  TOffset Entries = 0;
  std::uint32_t NamedCount = 0;
  std::uint32_t IdCount = 0;
};

// The resource data: offsets in it are checked against its length, then read
// from the image.
struct TResourceArea {
  const TBytes& Bytes;
  TSpan Span;
  bool Fits(TOffset at, TOffset length) const { return at <= Span.Length && Span.Length - at >= length; }
  bool Read16(TOffset at, std::uint16_t& out) const { return Fits(at, 2) && Bytes.Read16(Span.Begin + at, out); }
  bool Read32(TOffset at, std::uint32_t& out) const { return Fits(at, 4) && Bytes.Read32(Span.Begin + at, out); }
};

std::optional<TDirectory> ReadDirectory(const TResourceArea& rsrc, TOffset at) {
  std::uint16_t named = 0, ids = 0;
  if (!rsrc.Fits(at, DirectoryHeaderSize) || !rsrc.Read16(at + 12, named) || !rsrc.Read16(at + 14, ids))
    return std::nullopt;
  return TDirectory{at + DirectoryHeaderSize, named, ids};
}

std::optional<TEntry> ReadEntry(const TResourceArea& rsrc, const TDirectory& dir, std::uint32_t index) {
  TEntry e;
  const TOffset at = dir.Entries + static_cast<TOffset>(index) * DirectoryEntrySize;
  if (!rsrc.Read32(at, e.Name) || !rsrc.Read32(at + 4, e.Target)) return std::nullopt;
  return e;
}

// The first entry of a directory (any name, any language), which must lead to
// a subdirectory or to data as asked.
std::optional<TEntry> FirstEntry(const TResourceArea& rsrc, TOffset directory, bool wantSubdirectory) {
  auto dir = ReadDirectory(rsrc, directory);
  if (!dir || dir->NamedCount + dir->IdCount == 0) return std::nullopt;
  auto entry = ReadEntry(rsrc, *dir, 0);
  if (!entry || ((entry->Target & HighBit) != 0) != wantSubdirectory) return std::nullopt;
  return entry;
}

// Where in the image the first resource of a numbered type lies.
std::optional<TSpan> LocateResourceData(const TBytes& bytes, std::uint16_t type) {
  auto image = ReadImage(bytes);
  if (!image) return std::nullopt;
  auto span = image->MapFrom(image->ResourceRva);
  if (!span) return std::nullopt;
  const TResourceArea rsrc{image->Bytes, *span};

  auto root = ReadDirectory(rsrc, 0);
  if (!root) return std::nullopt;
  std::optional<TEntry> typeEntry;
  // Numbered types follow the named ones.
  for (std::uint32_t i = root->NamedCount; i < root->NamedCount + root->IdCount; ++i) {
    auto entry = ReadEntry(rsrc, *root, i);
    if (!entry) return std::nullopt;
    if ((entry->Name & HighBit) == 0 && entry->Name == type) {
      typeEntry = entry;
      break;
    }
  }
  if (!typeEntry || (typeEntry->Target & HighBit) == 0) return std::nullopt;

  auto nameEntry = FirstEntry(rsrc, typeEntry->Target & ~HighBit, true);
  if (!nameEntry) return std::nullopt;
  auto languageEntry = FirstEntry(rsrc, nameEntry->Target & ~HighBit, false);
  if (!languageEntry || !rsrc.Fits(languageEntry->Target, DataEntrySize)) return std::nullopt;

  std::uint32_t dataRva = 0, dataSize = 0;
  rsrc.Read32(languageEntry->Target, dataRva);
  rsrc.Read32(languageEntry->Target + 4, dataSize);
  auto data = image->MapFrom(dataRva);
  if (!data || data->Length < dataSize) return std::nullopt;
  return TSpan{data->Begin, dataSize};
}

}  // namespace

std::optional<std::string_view> FindResourceData(std::string_view image, std::uint16_t type) {
  const TImageReadAt read = [image](std::uint64_t at, std::size_t length) {
    return std::string(image.substr(static_cast<std::size_t>(at), length));
  };
  auto span = LocateResourceData(TBytes{image.size(), &read}, type);
  if (!span) return std::nullopt;
  return image.substr(static_cast<std::size_t>(span->Begin), static_cast<std::size_t>(span->Length));
}

std::optional<std::string> ReadResourceData(std::uint64_t imageSize, const TImageReadAt& readAt, std::uint16_t type,
                                            std::uint64_t maxSize) {
  auto span = LocateResourceData(TBytes{imageSize, &readAt}, type);
  if (!span || span->Length > maxSize) return std::nullopt;
  std::string data = readAt(span->Begin, static_cast<std::size_t>(span->Length));
  if (data.size() != span->Length) return std::nullopt;
  return data;
}

std::optional<std::string_view> FindVersionResource(std::string_view image) {
  return FindResourceData(image, ResourceTypeVersion);
}

// ---------------------------------------------------------------------------
// Version resource tree. Each block: wLength, wValueLength, wType, a
// zero-terminated UTF-16 key, padding to a 4-byte boundary, the value, padding,
// then the child blocks. Boundaries count from the start of the resource.

namespace {

constexpr std::size_t BlockHeaderSize = 6;
constexpr std::uint16_t TextValue = 1;

TOffset Align4(TOffset at) {
  return (at + 3) & ~TOffset{3};
}

struct TBlock {
  TOffset Start = 0;
  TOffset Length = 0;                // as the header says (at least the header's size)
  TOffset End = 0;                   // cut at the end of the enclosing block
  TOffset KeyStart = 0, KeyEnd = 0;  // the UTF-16 key without its zero
  TOffset ValueStart = 0;
  TOffset ValueEnd = 0;  // as the value length says, cut at End
  TOffset Children = 0;
};

std::optional<TBlock> ReadBlock(std::string_view data, TOffset at, TOffset limit) {
  std::uint16_t length = 0, valueLength = 0, type = 0;
  if (limit > data.size() || at > limit || limit - at < BlockHeaderSize) return std::nullopt;
  Read16(data, at, length);
  Read16(data, at + 2, valueLength);
  Read16(data, at + 4, type);
  if (length < BlockHeaderSize) return std::nullopt;

  TBlock b;
  b.Start = at;
  b.Length = length;
  b.End = std::min<TOffset>(at + length, limit);
  TOffset keyEnd = at + BlockHeaderSize;
  for (;;) {
    std::uint16_t unit = 0;
    if (keyEnd + 2 > b.End || !Read16(data, keyEnd, unit)) return std::nullopt;  // key without its zero
    keyEnd += 2;
    if (unit == 0) break;
  }
  b.KeyStart = at + BlockHeaderSize;
  b.KeyEnd = keyEnd - 2;
  b.ValueStart = std::min(Align4(keyEnd), b.End);
  const TOffset valueBytes = type == TextValue ? TOffset{valueLength} * 2 : TOffset{valueLength};
  b.ValueEnd = std::min(b.ValueStart + valueBytes, b.End);
  b.Children = std::min(Align4(b.ValueEnd), b.End);
  return b;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// The block's key against a name, without regard to the case of ASCII
// letters; read in place, since a search reads the keys of many blocks.
bool KeyIs(std::string_view data, const TBlock& block, std::string_view name) {
  const std::string_view key = data.substr(block.KeyStart, block.KeyEnd - block.KeyStart);
  bool ascii = true;
  for (std::size_t i = 1; i < key.size(); i += 2) ascii = ascii && key[i] == 0 && key[i - 1] > 0;
  if (!ascii) return EqualNoCase(Utf16LeToUtf8(key), name);
  if (key.size() / 2 != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    char x = key[2 * i], y = name[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::optional<TBlock> FindChild(std::string_view data, const TBlock& parent, std::string_view key) {
  TOffset at = parent.Children;
  while (at < parent.End) {
    auto child = ReadBlock(data, at, parent.End);
    if (!child) return std::nullopt;
    if (KeyIs(data, *child, key)) return child;
    at = Align4(child->Start + child->Length);  // always moves on: a block is at least its header
  }
  return std::nullopt;
}

std::optional<TBlock> FindBlock(std::string_view data, std::string_view path) {
  auto block = ReadBlock(data, 0, data.size());
  std::size_t pos = 0;
  while (block && pos < path.size()) {
    std::size_t next = path.find('\\', pos);
    if (next == std::string_view::npos) next = path.size();
    if (next > pos) block = FindChild(data, *block, path.substr(pos, next - pos));
    pos = next + 1;
  }
  return block;
}

}  // namespace

bool IsVersionBlock(std::string_view block) {
  auto root = ReadBlock(block, 0, block.size());
  return root && Utf16LeToUtf8(block.substr(root->KeyStart, root->KeyEnd - root->KeyStart)) == "VS_VERSION_INFO";
}

std::optional<std::string_view> QueryVersionBinary(std::string_view block, std::string_view path) {
  auto found = FindBlock(block, path);
  if (!found) return std::nullopt;
  return block.substr(found->ValueStart, found->ValueEnd - found->ValueStart);
}

std::optional<std::string> QueryVersionText(std::string_view block, std::string_view path) {
  auto found = FindBlock(block, path);
  if (!found) return std::nullopt;
  return Utf16LeToUtf8(block.substr(found->ValueStart, found->End - found->ValueStart));
}

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  const std::size_t units = bytes.size() / 2;
  auto unitAt = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                      static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  };
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t c = unitAt(i);
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && unitAt(i + 1) >= 0xDC00 && unitAt(i + 1) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace platform
