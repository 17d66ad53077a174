#include "common/ResReader.h"

#include <fstream>
#include <map>
#include <sstream>

namespace tesmar_tools {

namespace {

uint32_t Align4(uint32_t value) {
  return (value + 3u) & ~3u;
}

// Bounds-checked little-endian reading of one region of the file.
class TCursor {
 public:
  TCursor(const std::string& bytes, size_t entry, size_t begin, size_t end)
      : Bytes(bytes), Entry(entry), Pos(begin), End(end) {}

  size_t Position() const { return Pos; }
  bool Has(size_t count) const { return count <= End - Pos; }

  uint16_t Word(const char* what) {
    Need(2, what);
    uint16_t value = static_cast<uint16_t>(Byte(Pos) | (Byte(Pos + 1) << 8));
    Pos += 2;
    return value;
  }
  uint32_t DWord(const char* what) {
    Need(4, what);
    uint32_t value =
        Byte(Pos) | (Byte(Pos + 1) << 8) | (Byte(Pos + 2) << 16) | (static_cast<uint32_t>(Byte(Pos + 3)) << 24);
    Pos += 4;
    return value;
  }
  void AlignTo4(size_t base) {
    size_t aligned = base + ((Pos - base + 3) & ~size_t(3));
    if (aligned > End) Fail("header too short for its fields");
    Pos = aligned;
  }
  [[noreturn]] void Fail(const std::string& what) const {
    std::ostringstream text;
    text << what << " in the entry at offset " << Entry;
    throw TResFileError(text.str());
  }

 private:
  uint32_t Byte(size_t at) const { return static_cast<unsigned char>(Bytes[at]); }
  void Need(size_t count, const char* what) const {
    if (!Has(count)) Fail(std::string("truncated ") + what);
  }

  const std::string& Bytes;
  size_t Entry;
  size_t Pos;
  size_t End;
};

TResId ReadId(TCursor& cursor, const char* what) {
  uint16_t first = cursor.Word(what);
  if (first == tesmar_res::kOrdinalMarker) return TResId::FromOrdinal(cursor.Word(what));
  std::u16string name;
  for (uint16_t ch = first; ch != 0; ch = cursor.Word(what)) name.push_back(static_cast<char16_t>(ch));
  return TResId::FromName(std::move(name));
}

char16_t UpperAscii(char16_t ch) {
  return (ch >= u'a' && ch <= u'z') ? static_cast<char16_t>(ch - 32) : ch;
}

}  // namespace

bool SameResId(const TResId& a, const TResId& b) {
  if (a.IsOrdinal != b.IsOrdinal) return false;
  if (a.IsOrdinal) return a.Ordinal == b.Ordinal;
  if (a.Name.size() != b.Name.size()) return false;
  for (size_t i = 0; i < a.Name.size(); ++i)
    if (UpperAscii(a.Name[i]) != UpperAscii(b.Name[i])) return false;
  return true;
}

std::string ResIdText(const TResId& id) {
  if (id.IsOrdinal) return std::to_string(id.Ordinal);
  std::string text;
  for (char16_t ch : id.Name) text.push_back(ch >= 0x20 && ch < 0x7F ? static_cast<char>(ch) : '?');
  return text;
}

std::vector<TResEntry> ParseResFile(const std::string& bytes) {
  std::vector<TResEntry> entries;
  if (bytes.size() > MaxResFileSize) throw TResFileError("file too large for a resource file");
  // The empty entry that opens every 32-bit file: sizes 0 and 32, type and name ordinal 0.
  static const char marker[16] = {0, 0, 0, 0, 32, 0, 0, 0, '\xFF', '\xFF', 0, 0, '\xFF', '\xFF', 0, 0};
  if (bytes.size() < tesmar_res::kEmptyEntrySize || bytes.compare(0, 16, marker, 16) != 0)
    throw TResFileError("not a 32-bit resource file");
  size_t pos = tesmar_res::kEmptyEntrySize;
  while (pos < bytes.size()) {
    TCursor cursor(bytes, pos, pos, bytes.size());
    // Trailing zero padding after the last entry is harmless.
    if (!cursor.Has(8) && bytes.find_first_not_of('\0', pos) == std::string::npos) break;
    uint32_t dataSize = cursor.DWord("entry header");
    uint32_t headerSize = cursor.DWord("entry header");
    if (headerSize < 24) cursor.Fail("header size " + std::to_string(headerSize) + " too small");
    if (headerSize > bytes.size() - pos)
      cursor.Fail("header size " + std::to_string(headerSize) + " beyond end of file");
    size_t headerEnd = pos + headerSize;
    if (dataSize > bytes.size() - headerEnd)
      cursor.Fail("data size " + std::to_string(dataSize) + " beyond end of file");

    TCursor header(bytes, pos, pos + 8, headerEnd);
    TResEntry entry;
    entry.Type = ReadId(header, "resource type");
    entry.Name = ReadId(header, "resource name");
    header.AlignTo4(pos);
    entry.DataVersion = header.DWord("entry header");
    entry.MemoryFlags = header.Word("entry header");
    entry.LanguageId = header.Word("entry header");
    entry.Version = header.DWord("entry header");
    entry.Characteristics = header.DWord("entry header");
    entry.Data = bytes.substr(headerEnd, dataSize);
    entries.push_back(std::move(entry));

    size_t next = headerEnd + dataSize;
    pos = next + (Align4(static_cast<uint32_t>(next - pos)) - (next - pos));
  }
  return entries;
}

std::vector<TResEntry> ReadResFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw TResFileError("cannot open file");
  in.seekg(0, std::ios::end);
  std::streamoff size = in.tellg();
  if (size < 0) throw TResFileError("cannot read file");
  if (static_cast<uint64_t>(size) > MaxResFileSize) throw TResFileError("file too large for a resource file");
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), size)) throw TResFileError("cannot read file");
  return ParseResFile(bytes);
}

void MergeResources(std::vector<TResEntry>& into, const std::vector<TResEntry>& entries) {
  // A key per entry that equal resources share, so that large files merge in n log n.
  auto keyOf = [](const TResEntry& entry) {
    auto idKey = [](const TResId& id) {
      if (id.IsOrdinal) return u"#" + std::u16string(1, static_cast<char16_t>(id.Ordinal));
      std::u16string key = u"$";
      for (char16_t ch : id.Name) key.push_back(UpperAscii(ch));
      return key;
    };
    std::u16string key = idKey(entry.Type);
    key.push_back(u'\0');  // names cannot hold NUL, so this separates unambiguously
    key += idKey(entry.Name);
    key.push_back(u'\0');
    key.push_back(static_cast<char16_t>(entry.LanguageId));
    return key;
  };
  std::map<std::u16string, size_t> index;
  for (size_t i = 0; i < into.size(); ++i) index[keyOf(into[i])] = i;
  for (const TResEntry& entry : entries) {
    auto [it, added] = index.emplace(keyOf(entry), into.size());
    if (added)
      into.push_back(entry);
    else
      into[it->second] = entry;
  }
}

}  // namespace tesmar_tools
