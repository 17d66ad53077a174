#pragma once

#include <string>
#include <vector>

namespace tesmar_tools {

enum class TTokenKind {
  Identifier,  // also reserved words; Text as written
  String,      // a quoted literal; Text is its value with '' undoubled
  Number,
  Symbol,     // one character, or ".." / ":=" and the like as single characters
  Directive,  // {$...} or (*$...*); Text is what follows the '$'
  Problem,    // something the scanner could not read; Text is the message
  EndOfFile
};

struct TToken {
  TTokenKind Kind;
  std::string Text;
  int Line;  // 1-based line where the token starts
};

// Splits Pascal source into tokens, skipping blanks and comments ({ }, (* *),
// //). Line breaks are CR, LF or CR LF. The list always ends with EndOfFile.
std::vector<TToken> ScanPascal(const std::string& text);

// Number of lines of a text: a last line without a line break counts, an
// empty text has none.
int CountLines(const std::string& text);

// Upper-case copy of ASCII letters, for Pascal's case-blind words.
std::string UpperAscii(std::string text);

}  // namespace tesmar_tools
