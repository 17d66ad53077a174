#include "brcc32/RcSymbols.h"

namespace tesmar_brcc {

namespace {

struct TBuiltin {
  const char* Name;
  uint32_t Value;
};

constexpr TBuiltin kBuiltins[] = {
    // Primary languages.
    {"LANG_NEUTRAL", 0x00},
    {"LANG_INVARIANT", 0x7F},
    {"LANG_ARABIC", 0x01},
    {"LANG_BULGARIAN", 0x02},
    {"LANG_CATALAN", 0x03},
    {"LANG_CHINESE", 0x04},
    {"LANG_CZECH", 0x05},
    {"LANG_DANISH", 0x06},
    {"LANG_GERMAN", 0x07},
    {"LANG_GREEK", 0x08},
    {"LANG_ENGLISH", 0x09},
    {"LANG_SPANISH", 0x0A},
    {"LANG_FINNISH", 0x0B},
    {"LANG_FRENCH", 0x0C},
    {"LANG_HEBREW", 0x0D},
    {"LANG_HUNGARIAN", 0x0E},
    {"LANG_ICELANDIC", 0x0F},
    {"LANG_ITALIAN", 0x10},
    {"LANG_JAPANESE", 0x11},
    {"LANG_KOREAN", 0x12},
    {"LANG_DUTCH", 0x13},
    {"LANG_NORWEGIAN", 0x14},
    {"LANG_POLISH", 0x15},
    {"LANG_PORTUGUESE", 0x16},
    {"LANG_ROMANIAN", 0x18},
    {"LANG_RUSSIAN", 0x19},
    {"LANG_CROATIAN", 0x1A},
    {"LANG_SLOVAK", 0x1B},
    {"LANG_SWEDISH", 0x1D},
    {"LANG_TURKISH", 0x1F},
    {"LANG_SLOVENIAN", 0x24},
    {"LANG_ESTONIAN", 0x25},
    // Sublanguages.
    {"SUBLANG_NEUTRAL", 0x00},
    {"SUBLANG_DEFAULT", 0x01},
    {"SUBLANG_SYS_DEFAULT", 0x02},
    {"SUBLANG_CHINESE_TRADITIONAL", 0x01},
    {"SUBLANG_CHINESE_SIMPLIFIED", 0x02},
    {"SUBLANG_DUTCH", 0x01},
    {"SUBLANG_DUTCH_BELGIAN", 0x02},
    {"SUBLANG_ENGLISH_US", 0x01},
    {"SUBLANG_ENGLISH_UK", 0x02},
    {"SUBLANG_ENGLISH_AUS", 0x03},
    {"SUBLANG_ENGLISH_CAN", 0x04},
    {"SUBLANG_ENGLISH_NZ", 0x05},
    {"SUBLANG_ENGLISH_EIRE", 0x06},
    {"SUBLANG_FRENCH", 0x01},
    {"SUBLANG_FRENCH_BELGIAN", 0x02},
    {"SUBLANG_FRENCH_CANADIAN", 0x03},
    {"SUBLANG_FRENCH_SWISS", 0x04},
    {"SUBLANG_GERMAN", 0x01},
    {"SUBLANG_GERMAN_SWISS", 0x02},
    {"SUBLANG_GERMAN_AUSTRIAN", 0x03},
    {"SUBLANG_ITALIAN", 0x01},
    {"SUBLANG_ITALIAN_SWISS", 0x02},
    {"SUBLANG_NORWEGIAN_BOKMAL", 0x01},
    {"SUBLANG_NORWEGIAN_NYNORSK", 0x02},
    {"SUBLANG_PORTUGUESE", 0x02},
    {"SUBLANG_PORTUGUESE_BRAZILIAN", 0x01},
    {"SUBLANG_SPANISH", 0x01},
    {"SUBLANG_SPANISH_MEXICAN", 0x02},
    {"SUBLANG_SPANISH_MODERN", 0x03},
    {"SUBLANG_SWEDISH", 0x01},
    // Whole language identifiers.
    {"LANG_USER_DEFAULT", 0x0400},
    {"LANG_SYSTEM_DEFAULT", 0x0800},
    // Version information.
    {"VS_VERSION_INFO", 1},
    {"VS_FILE_INFO", 16},
    {"VS_FFI_SIGNATURE", 0xFEEF04BD},
    {"VS_FFI_STRUCVERSION", 0x00010000},
    {"VS_FFI_FILEFLAGSMASK", 0x3F},
    {"VS_FF_DEBUG", 0x01},
    {"VS_FF_PRERELEASE", 0x02},
    {"VS_FF_PATCHED", 0x04},
    {"VS_FF_PRIVATEBUILD", 0x08},
    {"VS_FF_INFOINFERRED", 0x10},
    {"VS_FF_SPECIALBUILD", 0x20},
    {"VOS_UNKNOWN", 0x00000000},
    {"VOS_DOS", 0x00010000},
    {"VOS_OS216", 0x00020000},
    {"VOS_OS232", 0x00030000},
    {"VOS_NT", 0x00040000},
    {"VOS_WINCE", 0x00050000},
    {"VOS__BASE", 0x00000000},
    {"VOS__WINDOWS16", 0x00000001},
    {"VOS__PM16", 0x00000002},
    {"VOS__PM32", 0x00000003},
    {"VOS__WINDOWS32", 0x00000004},
    {"VOS_DOS_WINDOWS16", 0x00010001},
    {"VOS_DOS_WINDOWS32", 0x00010004},
    {"VOS_OS216_PM16", 0x00020002},
    {"VOS_OS232_PM32", 0x00030003},
    {"VOS_NT_WINDOWS32", 0x00040004},
    {"VFT_UNKNOWN", 0},
    {"VFT_APP", 1},
    {"VFT_DLL", 2},
    {"VFT_DRV", 3},
    {"VFT_FONT", 4},
    {"VFT_VXD", 5},
    {"VFT_STATIC_LIB", 7},
    {"VFT2_UNKNOWN", 0},
    {"VFT2_DRV_PRINTER", 1},
    {"VFT2_DRV_KEYBOARD", 2},
    {"VFT2_DRV_LANGUAGE", 3},
    {"VFT2_DRV_DISPLAY", 4},
    {"VFT2_DRV_MOUSE", 5},
    {"VFT2_DRV_NETWORK", 6},
    {"VFT2_DRV_SYSTEM", 7},
    {"VFT2_DRV_INSTALLABLE", 8},
    {"VFT2_DRV_SOUND", 9},
    {"VFT2_DRV_COMM", 10},
    {"VFT2_DRV_INPUTMETHOD", 11},
    {"VFT2_DRV_VERSIONED_PRINTER", 12},
    {"VFT2_FONT_RASTER", 1},
    {"VFT2_FONT_VECTOR", 2},
    {"VFT2_FONT_TRUETYPE", 3},
};

}  // namespace

TRcSymbols::TRcSymbols() {
  for (const TBuiltin& b : kBuiltins) Symbols[b.Name] = TRcSymbol{true, b.Value, false};
}

const TRcSymbol* TRcSymbols::Find(const std::string& name) const {
  auto it = Symbols.find(name);
  return it == Symbols.end() ? nullptr : &it->second;
}

}  // namespace tesmar_brcc
