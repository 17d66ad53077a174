#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Messages of the Delphi command-line compiler, read from the lines it prints:
//   Unit1.pas(3) Hint: H2164 Variable 'X' is declared but never used
//   C:\My Projects\App.dpr(12) Error: Undeclared identifier: 'Y'
//   Fatal: F1027 Unit not found: 'System.pas' or binary equivalents (.dcu)
// A file part (which may hold blanks and brackets) ends in "(<line>) "; the
// kind is one of Hint, Warning, Error, Fatal with its colon and a blank; a
// code is a letter H, W, E or F with four digits at the start of the text.
// Lines of any other shape are no messages.

struct TDiagnostic {
  std::string Kind;  // "Hint", "Warning", "Error" or "Fatal"
  std::string File;  // as printed; empty when the line names none
  int Line = 0;      // 0 when the line names no file
  std::string Code;  // "F1027", ...; empty when the line carries none
  std::string Text;  // the message after the kind and the code
  std::string Raw;   // the whole line
  bool operator==(const TDiagnostic&) const = default;
};

std::optional<TDiagnostic> ParseDiagnostic(std::string_view line);
// The messages among lines, in order.
std::vector<TDiagnostic> ParseDiagnostics(const std::vector<std::string>& lines);
