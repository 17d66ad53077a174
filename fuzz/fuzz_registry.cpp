// Feeds arbitrary bytes to the Wine registry file reader, with and without the
// header line, and checks that nothing read is larger than its source.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace {

void Check(std::string_view text) {
  const platform::TWineRegistry reg = platform::TWineRegistry::Parse(text);
  if (reg.KeyCount() > text.size()) std::abort();
  // Any key: an empty first key line gives the root name "".
  for (const char* key : {"", "a", "software\\wine"}) {
    const auto* values = reg.FindKey(key);
    if (!values) continue;
    for (const auto& [name, value] : *values) {
      // Escapes only ever shrink: "\x00e9" (6 bytes) is 2 bytes of UTF-8.
      if (name.size() + value.Text.size() > text.size() || value.Bytes.size() > text.size()) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Check(text);
  Check("WINE REGISTRY Version 2\n" + std::string(text));
  return 0;
}
