#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "brcc32/RcSymbols.h"
#include "brcc32/RcText.h"
#include "common/ResFormat.h"

namespace tesmar_brcc {

// US English, the language of resources before any LANGUAGE statement.
constexpr uint16_t kDefaultLanguage = 0x0409;

struct TRcOptions {
  uint32_t CodePage = kCodePageWindows1252;
  uint16_t Language = kDefaultLanguage;
  std::vector<std::pair<std::string, TRcSymbol>> Defines;  // -d on the command line
};

// Reads a file the script names (an icon, a bitmap, raw data) and returns its
// bytes; throws std::exception with the reason when it cannot.
using TFileLoader = std::function<std::string(const std::string& name)>;

struct TRcScript {
  std::vector<tesmar_res::TResEntry> Entries;
  int Lines = 0;
};

// Compiles a resource script to the entries of a .RES file. Throws TRcError
// at the first problem.
TRcScript CompileScript(const std::string& text, const std::string& fileName, const TRcOptions& options,
                        const TFileLoader& loader);

}  // namespace tesmar_brcc
