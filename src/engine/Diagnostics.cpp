#include "engine/Diagnostics.h"

#include <array>

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The kind that line starts with at pos ("Hint: " ...), or nullptr.
const char* KindAt(std::string_view line, std::size_t pos) {
  static constexpr std::array<const char*, 4> Kinds{"Hint", "Warning", "Error", "Fatal"};
  for (const char* kind : Kinds) {
    const std::string_view k(kind);
    if (line.substr(pos, k.size()) == k && line.substr(pos + k.size(), 2) == ": ") return kind;
  }
  return nullptr;
}

// "<file>(<digits>)" ending just before pos: the file and line, or nothing.
// Line numbers beyond nine digits are no line numbers.
std::optional<std::pair<std::string_view, int>> FileAndLineBefore(std::string_view line, std::size_t pos) {
  if (pos < 4 || line[pos - 1] != ' ' || line[pos - 2] != ')') return std::nullopt;
  std::size_t open = pos - 2;
  std::size_t digits = 0;
  while (open > 0 && IsDigit(line[open - 1])) --open, ++digits;
  if (digits == 0 || digits > 9 || open == 0 || line[open - 1] != '(') return std::nullopt;
  const std::string_view file = line.substr(0, open - 1);
  if (file.empty() || file.front() == ' ' || file.front() == '\t') return std::nullopt;
  int number = 0;
  for (std::size_t i = open; i < pos - 2; ++i) number = number * 10 + (line[i] - '0');
  return std::pair{file, number};
}

}  // namespace

std::optional<TDiagnostic> ParseDiagnostic(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  TDiagnostic d;
  std::size_t kindAt = std::string_view::npos;
  const char* kind = KindAt(line, 0);
  if (kind) {
    kindAt = 0;
  } else {
    // The first place where "(<line>) <Kind>: " follows a file name.
    for (std::size_t pos = line.find(") "); pos != std::string_view::npos; pos = line.find(") ", pos + 1)) {
      kind = KindAt(line, pos + 2);
      if (!kind) continue;
      if (const auto fileLine = FileAndLineBefore(line, pos + 2)) {
        d.File = fileLine->first;
        d.Line = fileLine->second;
        kindAt = pos + 2;
        break;
      }
      kind = nullptr;
    }
  }
  if (!kind) return std::nullopt;
  d.Kind = kind;
  std::string_view text = line.substr(kindAt + d.Kind.size() + 2);
  if (text.find_first_not_of(' ') == std::string_view::npos) return std::nullopt;
  const bool coded = text.size() >= 5 && std::string_view("HWEF").find(text[0]) != std::string_view::npos &&
                     IsDigit(text[1]) && IsDigit(text[2]) && IsDigit(text[3]) && IsDigit(text[4]) &&
                     (text.size() == 5 || text[5] == ' ');
  if (coded) {
    d.Code = text.substr(0, 5);
    text.remove_prefix(text.size() > 5 ? 6 : 5);
  }
  d.Text = text;
  d.Raw = line;
  return d;
}

std::vector<TDiagnostic> ParseDiagnostics(const std::vector<std::string>& lines) {
  std::vector<TDiagnostic> found;
  for (const std::string& line : lines)
    if (auto d = ParseDiagnostic(line)) found.push_back(std::move(*d));
  return found;
}
