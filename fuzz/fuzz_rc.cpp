// Resource scripts of any bytes either compile to a .RES image in memory or
// fail with a positioned error; nothing else may escape.
#include <cstddef>
#include <cstdint>
#include <string>

#include "brcc32/RcError.h"
#include "brcc32/RcParser.h"
#include "common/ResFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  tesmar_brcc::TRcOptions options;
  if (size > 0 && (data[0] & 1) != 0) options.CodePage = tesmar_brcc::kCodePageUtf8;
  // Every file the script names holds the script itself, so icon and bitmap
  // readers see arbitrary bytes too.
  const tesmar_brcc::TFileLoader loader = [&](const std::string& name) -> std::string {
    if (name.size() % 3 == 0) throw std::runtime_error("file not found: " + name);
    return text;
  };
  try {
    const tesmar_brcc::TRcScript script = tesmar_brcc::CompileScript(text, "fuzz.rc", options, loader);
    const std::string res = tesmar_res::WriteResFile(script.Entries);
    if (res.size() < tesmar_res::kEmptyEntrySize) __builtin_trap();
  } catch (const tesmar_brcc::TRcError& e) {
    if (e.Line < 1 || e.Column < 1) __builtin_trap();
  }
  return 0;
}
