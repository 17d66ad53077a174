#include "dcc32/DccOptions.h"

#include <cctype>

namespace tesmar_tools {

namespace {

bool ParseNumber(const std::string& text, uint32_t& value) {
  if (text.empty()) return false;
  bool hex = text[0] == '$';
  size_t start = hex ? 1 : 0;
  if (start >= text.size() || text.size() - start > (hex ? 8u : 10u)) return false;
  uint64_t result = 0;
  for (size_t i = start; i < text.size(); ++i) {
    char ch = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    int digit = (ch >= '0' && ch <= '9') ? ch - '0' : (hex && ch >= 'A' && ch <= 'F') ? ch - 'A' + 10 : -1;
    if (digit < 0) return false;
    result = result * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
  }
  if (result > 0xFFFFFFFFu) return false;
  value = static_cast<uint32_t>(result);
  return true;
}

void AddDirs(std::vector<std::string>& into, const std::string& list) {
  for (const std::string& dir : SplitDirList(list)) into.push_back(dir);
}

}  // namespace

std::vector<std::string> SplitOptionLine(const std::string& line) {
  std::vector<std::string> parts;
  std::string current;
  bool inQuotes = false, any = false;
  for (char ch : line) {
    if (ch == '"') {
      inQuotes = !inQuotes;
      any = true;
    } else if (!inQuotes && (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n')) {
      if (any) parts.push_back(current);
      current.clear();
      any = false;
    } else {
      current.push_back(ch);
      any = true;
    }
  }
  if (any) parts.push_back(current);
  return parts;
}

std::vector<std::string> SplitDirList(const std::string& list) {
  std::vector<std::string> dirs;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(start, end - start);
    size_t first = dir.find_first_not_of(" \t");
    size_t last = dir.find_last_not_of(" \t");
    if (first != std::string::npos) dirs.push_back(dir.substr(first, last - first + 1));
    start = end + 1;
  }
  return dirs;
}

void ApplySwitch(TDccOptions& options, const std::string& option) {
  if (option.size() < 2 || option[0] != '-') return;
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(option[1])));
  std::string value = option.substr(2);
  switch (letter) {
    case 'U':
      AddDirs(options.UnitDirs, value);
      break;
    case 'I':
      AddDirs(options.IncludeDirs, value);
      break;
    case 'R':
      AddDirs(options.ResourceDirs, value);
      break;
    case 'O':
      AddDirs(options.ObjectDirs, value);
      break;
    case 'D':
      AddDirs(options.Defines, value);
      break;
    case 'E':
      options.OutputDir = value;
      break;
    case 'Q':
      options.Quiet = true;
      break;
    case 'C':
      if (!value.empty()) options.Console = std::toupper(static_cast<unsigned char>(value[0])) == 'C';
      break;
    case 'K':
      if (!ParseNumber(value, options.ImageBase) || options.ImageBase == 0 || options.ImageBase % 0x10000 != 0 ||
          options.ImageBase >= 0x80000000u)
        throw TDccOptionError("Invalid image base: " + option);
      break;
    case '$':
      // -$M<min>,<max> sets the stack sizes; the other switch letters change nothing here.
      if (!value.empty() && std::toupper(static_cast<unsigned char>(value[0])) == 'M' && value.size() > 1 &&
          value[1] != '+' && value[1] != '-') {
        size_t comma = value.find(',');
        uint32_t minimum = 0, maximum = 0;
        if (comma == std::string::npos || !ParseNumber(value.substr(1, comma - 1), minimum) ||
            !ParseNumber(value.substr(comma + 1), maximum) || minimum == 0 || minimum > maximum ||
            maximum > 0x40000000u)
          throw TDccOptionError("Invalid stack sizes: " + option);
        options.StackMin = minimum;
        options.StackMax = maximum;
      }
      break;
    default:
      break;  // accepted and ignored: -B, -M, -W, -H, -N, -LE, -LN, -A, -V, ...
  }
}

void ApplyOptionsText(TDccOptions& options, const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    for (const std::string& option : SplitOptionLine(text.substr(start, end - start))) ApplySwitch(options, option);
    start = end + 1;
  }
}

TDccOptions ParseCommandLine(const std::vector<std::string>& args, std::vector<std::string>& switches) {
  TDccOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "/?" || arg == "-?" || arg == "-h" || arg == "--help") {
      options.Help = true;
    } else if (arg.size() >= 2 && arg[0] == '-') {
      std::string option = arg;
      // "-E dir": the directory as the next argument.
      if ((arg == "-E" || arg == "-e") && i + 1 < args.size()) option += args[++i];
      switches.push_back(option);
    } else if (!arg.empty()) {
      if (!options.Source.empty()) throw TDccOptionError("Only one source file may be named: " + arg);
      options.Source = arg;
    }
  }
  return options;
}

}  // namespace tesmar_tools
