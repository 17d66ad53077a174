#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tesmar_tools {

// A switch with a value that cannot be used; what() is the message.
class TDccOptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TDccOptions {
  std::string Source;
  std::string OutputDir;  // -E; empty: beside the source
  std::vector<std::string> UnitDirs, IncludeDirs, ResourceDirs, ObjectDirs;
  std::vector<std::string> Defines;
  bool Quiet = false;
  bool Console = false;
  bool Help = false;
  uint32_t ImageBase = 0x00400000;
  uint32_t StackMin = 16384;
  uint32_t StackMax = 1048576;
};

// Splits a command-line or options-file line into switches and names:
// blanks separate, double quotes group (and are removed).
std::vector<std::string> SplitOptionLine(const std::string& line);

// Splits a ';' list of directories, dropping empty parts.
std::vector<std::string> SplitDirList(const std::string& list);

// Applies one switch ("-U..." and the like). Unknown switches are accepted
// and ignored. Throws TDccOptionError for a value that cannot be used.
void ApplySwitch(TDccOptions& options, const std::string& option);

// Applies the switches of an options file, one or more per line; path lists
// of several lines add up.
void ApplyOptionsText(TDccOptions& options, const std::string& text);

// The command line: the source name and switches in any order. "-E dir" (with
// a blank) is accepted as well as "-Edir"; "/?", "-h", "--help" ask for help.
// Throws TDccOptionError when more than one source is named.
TDccOptions ParseCommandLine(const std::vector<std::string>& args, std::vector<std::string>& switches);

}  // namespace tesmar_tools
