#include "common/PEWriter.h"

#include <algorithm>
#include <map>

namespace tesmar_tools {

namespace {

// The image must stay well inside the 32-bit address space.
constexpr uint64_t MaxResourceBytes = 0x40000000;

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

void PutWord(std::string& out, size_t at, uint16_t value) {
  out[at] = static_cast<char>(value & 0xFF);
  out[at + 1] = static_cast<char>(value >> 8);
}

void PutDWord(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::u16string UpperAscii(std::u16string text) {
  for (char16_t& ch : text)
    if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - 32);
  return text;
}

// Directory order, which the loader's binary search relies on: named entries
// first, ascending without regard to case, then ordinal entries by number.
bool IdLess(const TResId& a, const TResId& b) {
  if (a.IsOrdinal != b.IsOrdinal) return !a.IsOrdinal;
  if (a.IsOrdinal) return a.Ordinal < b.Ordinal;
  std::u16string upperA = UpperAscii(a.Name), upperB = UpperAscii(b.Name);
  if (upperA != upperB) return upperA < upperB;
  return a.Name < b.Name;
}

struct TIdLess {
  bool operator()(const TResId& a, const TResId& b) const { return IdLess(a, b); }
};

using TLanguages = std::map<uint16_t, const TResEntry*>;
using TNames = std::map<TResId, TLanguages, TIdLess>;
using TTypes = std::map<TResId, TNames, TIdLess>;

uint32_t TableSize(size_t entryCount) {
  return 16 + 8 * static_cast<uint32_t>(entryCount);
}

// Writes a directory table header counting named and ordinal entries.
template <typename TMap>
void PutTableHeader(std::string& out, size_t at, const TMap& entries) {
  uint16_t named = 0;
  for (const auto& [id, child] : entries)
    if (!id.IsOrdinal) ++named;
  PutWord(out, at + 12, named);
  PutWord(out, at + 14, static_cast<uint16_t>(entries.size() - named));
}

}  // namespace

std::string BuildResourceSection(const std::vector<TResEntry>& resources, uint32_t sectionRva) {
  TTypes types;
  for (const TResEntry& entry : resources) types[entry.Type][entry.Name][entry.LanguageId] = &entry;

  // First pass: sizes of each area.
  uint64_t directories = TableSize(types.size());
  uint64_t dataEntries = 0, strings = 0, data = 0;
  auto stringSize = [](const TResId& id) -> uint64_t { return id.IsOrdinal ? 0 : 2 + 2 * id.Name.size(); };
  for (const auto& [type, names] : types) {
    directories += TableSize(names.size());
    strings += stringSize(type);
    for (const auto& [name, languages] : names) {
      directories += TableSize(languages.size());
      strings += stringSize(name);
      for (const auto& [language, entry] : languages) {
        dataEntries += 16;
        data += AlignUp(static_cast<uint32_t>(std::min<uint64_t>(entry->Data.size(), MaxResourceBytes)), 8);
        if (data > MaxResourceBytes) throw TPEWriteError("resources too large for the image");
      }
    }
  }
  uint64_t stringsAt = directories + dataEntries;
  uint64_t dataAt = (stringsAt + strings + 7) / 8 * 8;
  if (dataAt + data > MaxResourceBytes) throw TPEWriteError("resources too large for the image");

  std::string out(static_cast<size_t>(dataAt + data), '\0');
  uint32_t nextTable = TableSize(types.size());
  uint32_t nextDataEntry = static_cast<uint32_t>(directories);
  uint32_t nextString = static_cast<uint32_t>(stringsAt);
  uint32_t nextData = static_cast<uint32_t>(dataAt);

  auto putId = [&](size_t at, const TResId& id) {
    if (id.IsOrdinal) {
      PutDWord(out, at, id.Ordinal);
      return;
    }
    PutDWord(out, at, 0x80000000u | nextString);
    PutWord(out, nextString, static_cast<uint16_t>(id.Name.size()));
    for (size_t i = 0; i < id.Name.size(); ++i) PutWord(out, nextString + 2 + 2 * i, id.Name[i]);
    nextString += 2 + 2 * static_cast<uint32_t>(id.Name.size());
  };

  PutTableHeader(out, 0, types);
  size_t typeSlot = 16;
  for (const auto& [type, names] : types) {
    uint32_t typeTable = nextTable;
    nextTable += TableSize(names.size());
    putId(typeSlot, type);
    PutDWord(out, typeSlot + 4, 0x80000000u | typeTable);
    typeSlot += 8;
    PutTableHeader(out, typeTable, names);
    size_t nameSlot = typeTable + 16;
    for (const auto& [name, languages] : names) {
      uint32_t nameTable = nextTable;
      nextTable += TableSize(languages.size());
      putId(nameSlot, name);
      PutDWord(out, nameSlot + 4, 0x80000000u | nameTable);
      nameSlot += 8;
      PutWord(out, nameTable + 14, static_cast<uint16_t>(languages.size()));
      size_t languageSlot = nameTable + 16;
      for (const auto& [language, entry] : languages) {
        PutDWord(out, languageSlot, language);
        PutDWord(out, languageSlot + 4, nextDataEntry);
        languageSlot += 8;
        PutDWord(out, nextDataEntry, sectionRva + nextData);
        PutDWord(out, nextDataEntry + 4, static_cast<uint32_t>(entry->Data.size()));
        nextDataEntry += 16;
        std::copy(entry->Data.begin(), entry->Data.end(), out.begin() + nextData);
        nextData += AlignUp(static_cast<uint32_t>(entry->Data.size()), 8);
      }
    }
  }
  return out;
}

TPEImage BuildPEImage(const TPEImageOptions& options) {
  // Exit code 0 for a program; TRUE from DllMain (three stack arguments) for a library.
  const std::string code =
      options.IsDll ? std::string("\xB8\x01\x00\x00\x00\xC2\x0C\x00", 8) : std::string("\x31\xC0\xC3", 3);

  constexpr uint32_t peOffset = 0x80;
  constexpr uint32_t optionalHeaderSize = 224;
  const bool hasResources = !options.Resources.empty();
  const uint16_t sectionCount = hasResources ? 2 : 1;
  const uint32_t headersEnd = peOffset + 4 + 20 + optionalHeaderSize + 40 * sectionCount;
  const uint32_t sizeOfHeaders = AlignUp(headersEnd, PEFileAlignment);

  const uint32_t textRva = PESectionAlignment;
  const uint32_t textRaw = sizeOfHeaders;
  const uint32_t textRawSize = AlignUp(static_cast<uint32_t>(code.size()), PEFileAlignment);
  const uint32_t rsrcRva = textRva + AlignUp(static_cast<uint32_t>(code.size()), PESectionAlignment);
  const std::string rsrc = hasResources ? BuildResourceSection(options.Resources, rsrcRva) : std::string();
  const uint32_t rsrcSize = static_cast<uint32_t>(rsrc.size());
  const uint32_t rsrcRaw = textRaw + textRawSize;
  const uint32_t rsrcRawSize = AlignUp(rsrcSize, PEFileAlignment);
  const uint32_t sizeOfImage =
      hasResources ? rsrcRva + AlignUp(rsrcSize, PESectionAlignment) : rsrcRva;  // rsrcRva is the end of .text

  TPEImage image;
  image.CodeSize = static_cast<uint32_t>(code.size());
  image.DataSize = rsrcSize;
  std::string& out = image.Bytes;
  out.assign(rsrcRaw + rsrcRawSize, '\0');

  // DOS header and a stub that says the program needs Windows.
  out[0] = 'M';
  out[1] = 'Z';
  PutWord(out, 0x02, 0x90);  // bytes on the last page
  PutWord(out, 0x04, 3);     // pages
  PutWord(out, 0x08, 4);     // header paragraphs
  PutWord(out, 0x0C, 0xFFFF);
  PutWord(out, 0x10, 0xB8);  // initial SP
  PutWord(out, 0x18, 0x40);  // relocation table offset
  PutDWord(out, 0x3C, peOffset);
  const std::string stub("\x0E\x1F\xBA\x0E\x00\xB4\x09\xCD\x21\xB8\x01\x4C\xCD\x21", 14);
  const std::string message = "This program cannot be run in DOS mode.\r\r\n$";
  std::copy(stub.begin(), stub.end(), out.begin() + 0x40);
  std::copy(message.begin(), message.end(), out.begin() + 0x4E);

  // COFF file header.
  size_t at = peOffset;
  out.replace(at, 4, std::string("PE\0\0", 4));
  at += 4;
  uint16_t characteristics = 0x0002 | 0x0004 | 0x0008 | 0x0100;  // executable, no line numbers or symbols, 32-bit
  characteristics |= options.IsDll ? 0x2000 : 0x0001;            // a DLL, or a program without relocations
  PutWord(out, at, 0x014C);
  PutWord(out, at + 2, sectionCount);
  PutWord(out, at + 16, optionalHeaderSize);
  PutWord(out, at + 18, characteristics);
  at += 20;

  // Optional header (PE32).
  const size_t opt = at;
  PutWord(out, opt, 0x010B);
  out[opt + 2] = 2;  // linker version 2.25
  out[opt + 3] = 25;
  PutDWord(out, opt + 4, textRawSize);  // SizeOfCode
  PutDWord(out, opt + 8, rsrcRawSize);  // SizeOfInitializedData
  PutDWord(out, opt + 16, textRva);     // AddressOfEntryPoint
  PutDWord(out, opt + 20, textRva);     // BaseOfCode
  PutDWord(out, opt + 24, hasResources ? rsrcRva : 0);
  PutDWord(out, opt + 28, options.ImageBase);
  PutDWord(out, opt + 32, PESectionAlignment);
  PutDWord(out, opt + 36, PEFileAlignment);
  PutWord(out, opt + 40, 4);  // operating system version 4.0
  PutWord(out, opt + 48, 4);  // subsystem version 4.0
  PutDWord(out, opt + 56, sizeOfImage);
  PutDWord(out, opt + 60, sizeOfHeaders);
  PutWord(out, opt + 68, options.Console ? 3 : 2);
  PutDWord(out, opt + 72, options.StackReserve);
  PutDWord(out, opt + 76, options.StackCommit);
  PutDWord(out, opt + 80, 0x00100000);  // heap reserve
  PutDWord(out, opt + 84, 0x00001000);  // heap commit
  PutDWord(out, opt + 92, 16);          // data directories
  if (hasResources) {
    PutDWord(out, opt + 96 + 2 * 8, rsrcRva);
    PutDWord(out, opt + 96 + 2 * 8 + 4, rsrcSize);
  }
  at = opt + optionalHeaderSize;

  auto putSection = [&](const char* name, uint32_t virtualSize, uint32_t rva, uint32_t rawSize, uint32_t raw,
                        uint32_t flags) {
    std::string field(name);
    field.resize(8, '\0');
    out.replace(at, 8, field);
    PutDWord(out, at + 8, virtualSize);
    PutDWord(out, at + 12, rva);
    PutDWord(out, at + 16, rawSize);
    PutDWord(out, at + 20, raw);
    PutDWord(out, at + 36, flags);
    at += 40;
  };
  putSection(".text", static_cast<uint32_t>(code.size()), textRva, textRawSize, textRaw, 0x60000020);
  if (hasResources) putSection(".rsrc", rsrcSize, rsrcRva, rsrcRawSize, rsrcRaw, 0x40000040);

  std::copy(code.begin(), code.end(), out.begin() + textRaw);
  std::copy(rsrc.begin(), rsrc.end(), out.begin() + rsrcRaw);
  return image;
}

}  // namespace tesmar_tools
