#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tesmar_tools {

// Runs the compiler stand-in on a command line (without the program name),
// writing its output lines to out. Returns the exit code: 0 when the target
// was written or the option list printed (asked for, or no source named), 1
// otherwise.
int RunDcc(const std::vector<std::string>& args, std::ostream& out);

// The two banner lines every run starts with.
std::string DccBanner();

}  // namespace tesmar_tools
