#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace tesmar_brcc {

// A name the script may use where a number goes: the Windows constants that
// resource scripts use without including the Windows headers, and the names
// the script itself #defines.
struct TRcSymbol {
  bool HasValue = false;  // a #define without a numeric value only counts for #ifdef
  uint32_t Value = 0;
  bool Long = false;
};

class TRcSymbols {
 public:
  TRcSymbols();  // starts with the built-in Windows constants

  const TRcSymbol* Find(const std::string& name) const;
  void Define(const std::string& name, const TRcSymbol& symbol) { Symbols[name] = symbol; }
  void Undefine(const std::string& name) { Symbols.erase(name); }

 private:
  std::map<std::string, TRcSymbol> Symbols;
};

}  // namespace tesmar_brcc
