#include "common/ResFormat.h"

namespace tesmar_res {

void AppendU8(std::string& out, uint8_t value) {
  out.push_back(static_cast<char>(value));
}

void AppendU16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void AppendU32(std::string& out, uint32_t value) {
  AppendU16(out, static_cast<uint16_t>(value & 0xFFFF));
  AppendU16(out, static_cast<uint16_t>(value >> 16));
}

void AppendUtf16(std::string& out, const std::u16string& text, bool terminate) {
  for (char16_t c : text) AppendU16(out, static_cast<uint16_t>(c));
  if (terminate) AppendU16(out, 0);
}

void PadToDword(std::string& out, std::size_t start) {
  while ((out.size() - start) % 4 != 0) out.push_back('\0');
}

namespace {

void AppendId(std::string& out, const TResId& id) {
  if (id.IsOrdinal) {
    AppendU16(out, kOrdinalMarker);
    AppendU16(out, id.Ordinal);
  } else {
    AppendUtf16(out, id.Name, true);
  }
}

}  // namespace

std::string ResEntryHeader(const TResEntry& entry) {
  std::string header;
  AppendU32(header, static_cast<uint32_t>(entry.Data.size()));
  AppendU32(header, 0);  // HeaderSize, filled in below
  AppendId(header, entry.Type);
  AppendId(header, entry.Name);
  PadToDword(header);
  AppendU32(header, entry.DataVersion);
  AppendU16(header, entry.MemoryFlags);
  AppendU16(header, entry.LanguageId);
  AppendU32(header, entry.Version);
  AppendU32(header, entry.Characteristics);
  const auto size = static_cast<uint32_t>(header.size());
  for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
  return header;
}

std::string WriteResFile(const std::vector<TResEntry>& entries) {
  std::string out;
  TResEntry empty;
  empty.Type = TResId::FromOrdinal(0);
  empty.Name = TResId::FromOrdinal(0);
  out += ResEntryHeader(empty);
  for (const TResEntry& entry : entries) {
    out += ResEntryHeader(entry);
    out += entry.Data;
    PadToDword(out);
  }
  return out;
}

}  // namespace tesmar_res
