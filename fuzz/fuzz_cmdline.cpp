// Splits arbitrary bytes as a command line, then checks that the arguments
// written back as one line split into the same arguments again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Process.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> args = platform::SplitCommandLine(line);

  std::size_t total = 0;
  for (const std::string& arg : args) total += arg.size();
  if (total > size) std::abort();  // splitting never invents characters

  if (!args.empty()) {
    const std::string joined = platform::JoinCommandLine(args);
    if (platform::SplitCommandLine(joined) != args) std::abort();
  }
  return 0;
}
