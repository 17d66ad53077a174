#pragma once

// The 32-bit .RES file as the Windows resource compiler writes it and the
// linker reads it. A file is a sequence of entries; each entry is
//
//   DWORD DataSize         bytes of resource data that follow the header
//   DWORD HeaderSize       bytes of this header, padding included
//   TYPE                   0xFFFF + WORD ordinal, or a zero-terminated UTF-16 name
//   NAME                   the same two forms
//   (padding to a DWORD boundary, counted from the entry's start)
//   DWORD DataVersion
//   WORD  MemoryFlags
//   WORD  LanguageId
//   DWORD Version
//   DWORD Characteristics
//   data, then padding to a DWORD boundary (not counted in DataSize)
//
// The file starts with an empty entry of 32 bytes (DataSize 0, HeaderSize 32,
// TYPE and NAME both ordinal 0, everything else 0) that marks it as a 32-bit
// file. All numbers are little-endian.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tesmar_res {

// Resource type ordinals.
constexpr uint16_t RT_CURSOR = 1;
constexpr uint16_t RT_BITMAP = 2;
constexpr uint16_t RT_ICON = 3;
constexpr uint16_t RT_MENU = 4;
constexpr uint16_t RT_DIALOG = 5;
constexpr uint16_t RT_STRING = 6;
constexpr uint16_t RT_FONTDIR = 7;
constexpr uint16_t RT_FONT = 8;
constexpr uint16_t RT_ACCELERATOR = 9;
constexpr uint16_t RT_RCDATA = 10;
constexpr uint16_t RT_MESSAGETABLE = 11;
constexpr uint16_t RT_GROUP_CURSOR = 12;
constexpr uint16_t RT_GROUP_ICON = 14;
constexpr uint16_t RT_VERSION = 16;
constexpr uint16_t RT_DLGINCLUDE = 17;
constexpr uint16_t RT_PLUGPLAY = 19;
constexpr uint16_t RT_VXD = 20;
constexpr uint16_t RT_ANICURSOR = 21;
constexpr uint16_t RT_ANIICON = 22;
constexpr uint16_t RT_HTML = 23;
constexpr uint16_t RT_MANIFEST = 24;

// Bits of MemoryFlags.
constexpr uint16_t MEMFLAG_MOVEABLE = 0x0010;
constexpr uint16_t MEMFLAG_PURE = 0x0020;
constexpr uint16_t MEMFLAG_PRELOAD = 0x0040;
constexpr uint16_t MEMFLAG_DISCARDABLE = 0x1000;

// Size of the empty entry that opens every 32-bit .RES file.
constexpr std::size_t kEmptyEntrySize = 32;
// Size of the fixed part after TYPE and NAME (DataVersion .. Characteristics).
constexpr std::size_t kHeaderTailSize = 16;
// The marker WORD that introduces an ordinal TYPE or NAME.
constexpr uint16_t kOrdinalMarker = 0xFFFF;

// A resource type or name: an ordinal or a UTF-16 string (without terminator).
struct TResId {
  bool IsOrdinal = true;
  uint16_t Ordinal = 0;
  std::u16string Name;

  static TResId FromOrdinal(uint16_t ordinal) { return TResId{true, ordinal, {}}; }
  static TResId FromName(std::u16string name) { return TResId{false, 0, std::move(name)}; }
  bool operator==(const TResId&) const = default;
};

struct TResEntry {
  TResId Type;
  TResId Name;
  uint32_t DataVersion = 0;
  uint16_t MemoryFlags = 0;
  uint16_t LanguageId = 0;
  uint32_t Version = 0;
  uint32_t Characteristics = 0;
  std::string Data;  // raw bytes
};

// Little-endian appenders, shared by everything that lays out resource data.
void AppendU8(std::string& out, uint8_t value);
void AppendU16(std::string& out, uint16_t value);
void AppendU32(std::string& out, uint32_t value);
// UTF-16 code units, little-endian, followed by a zero unit when terminate is set.
void AppendUtf16(std::string& out, const std::u16string& text, bool terminate);
// Zero bytes until out.size() - start is a multiple of four.
void PadToDword(std::string& out, std::size_t start = 0);

// The header of one entry (DataSize .. Characteristics), padding included.
std::string ResEntryHeader(const TResEntry& entry);
// A whole .RES file: the empty entry, then every entry with its data padded.
std::string WriteResFile(const std::vector<TResEntry>& entries);

}  // namespace tesmar_res
