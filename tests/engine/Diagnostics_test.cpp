#include "engine/Diagnostics.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

struct TCase {
  const char* Line;
  TDiagnostic Expected;  // Raw is the line itself
};

TDiagnostic D(const char* kind, const char* file, int line, const char* code, const char* text) {
  return TDiagnostic{kind, file, line, code, text, ""};
}

TEST(Diagnostics, CompilerLineShapes) {
  const TCase cases[] = {
      // The four kinds with codes of every letter; lines without a file or code.
      {"App.dpr(7) Fatal: Could not compile used unit 'Unit1.pas'",
       D("Fatal", "App.dpr", 7, "", "Could not compile used unit 'Unit1.pas'")},
      {"Unit1.pas(3) Hint: H2164 Variable 'X' is declared but never used",
       D("Hint", "Unit1.pas", 3, "H2164", "Variable 'X' is declared but never used")},
      {"Unit1.pas(9) Warning: W1000 Symbol 'Old' is deprecated",
       D("Warning", "Unit1.pas", 9, "W1000", "Symbol 'Old' is deprecated")},
      {"App.dpr(12) Error: E2003 Undeclared identifier: 'Y'",
       D("Error", "App.dpr", 12, "E2003", "Undeclared identifier: 'Y'")},
      {"Fatal: F1027 Unit not found: 'System.pas' or binary equivalents (.dcu)",
       D("Fatal", "", 0, "F1027", "Unit not found: 'System.pas' or binary equivalents (.dcu)")},
      {"Fatal: File not found: 'Gone.dpr'", D("Fatal", "", 0, "", "File not found: 'Gone.dpr'")},
      {"Error: RES file not found", D("Error", "", 0, "", "RES file not found")},
      {"Fatal: F2039", D("Fatal", "", 0, "F2039", "")},
      // Paths with blanks and brackets; a text that itself holds a position.
      {"C:\\My Projects\\Suite (old)\\Main Form.pas(120) Error: E2029 ')' expected but ';' found",
       D("Error", "C:\\My Projects\\Suite (old)\\Main Form.pas", 120, "E2029", "')' expected but ';' found")},
      {"/home/me/my proj/App.dpr(5) Warning: see Other.pas(9) Hint: here",
       D("Warning", "/home/me/my proj/App.dpr", 5, "", "see Other.pas(9) Hint: here")},
      // Something that is not a code stays in the text.
      {"A.pas(1) Hint: H216 short code", D("Hint", "A.pas", 1, "", "H216 short code")},
      {"A.pas(1) Hint: X2164 other letter", D("Hint", "A.pas", 1, "", "X2164 other letter")},
      {"A.pas(1) Hint: H21645 long code", D("Hint", "A.pas", 1, "", "H21645 long code")},
      {"A.pas(1) Error: E2003: colon after the code", D("Error", "A.pas", 1, "", "E2003: colon after the code")},
  };
  for (const TCase& c : cases) {
    TDiagnostic expected = c.Expected;
    expected.Raw = c.Line;
    // Also as read from a tool's output, with the line end.
    for (const std::string& line : {std::string(c.Line), c.Line + std::string("\r\n")})
      EXPECT_EQ(ParseDiagnostic(line), expected) << line;
  }
  // Lines that only look like messages.
  for (const char* line :
       {"Unit1.pas(3)", "Unit1.pas(3) Note: not a kind", "Unit1.pas(3)Hint: no blank before the kind",
        "Unit1.pas(3) Hint:no blank after the colon", "Unit1.pas(3) hint: lower case",
        "Unit1.pas(x) Hint: no line number", "Unit1.pas() Hint: empty line number", "(3) Hint: no file",
        " Unit1.pas(3) Hint: indented", "Unit1.pas(1234567890) Hint: line number too long", "Compiling with Hint: on",
        "Warnings: 0", "Hint: ", "Unit1.pas(3) Error:    ", "Error", "",
        "1234 lines, 0.05 seconds, 512 bytes code, 64 bytes data."})
    EXPECT_FALSE(ParseDiagnostic(line)) << line;
}

}  // namespace
