#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tesmar_brcc {

// Files the compiler reads (scripts, icons) may not be larger than this.
constexpr std::size_t kMaxInputFileSize = 64u * 1024 * 1024;

// The whole program: arguments without the program name, everything printed
// to out. Returns the exit code: 0 when the .RES file was written, 1 otherwise.
int RunBrcc(const std::vector<std::string>& args, std::ostream& out);

}  // namespace tesmar_brcc
