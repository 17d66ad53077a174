// Merges package directives into arbitrary package text: the bytes before the
// first zero are the directive lines, the rest is the package source.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/PackageDirectives.h"
#include "platform/Error.h"
#include "platform/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t zero = bytes.find('\0');
  const std::string_view directives = zero == std::string_view::npos ? std::string_view() : bytes.substr(0, zero);
  const std::string_view package = zero == std::string_view::npos ? bytes : bytes.substr(zero + 1);
  const platform::TStringList lines = platform::SplitLines(directives);
  try {
    const TPackageMerge merge = MergeDirectivesIntoPackage(package, lines);
    // Nothing to merge changes nothing; what was merged once is in place.
    if (lines.empty() && merge.Text != package) std::abort();
    if (MergeDirectivesIntoPackage(merge.Text, lines).Text != merge.Text) std::abort();
  } catch (const TError&) {
    // No package clause: refused, nothing merged.
  }
  return 0;
}
