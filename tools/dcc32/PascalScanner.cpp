#include "dcc32/PascalScanner.h"

namespace tesmar_tools {

namespace {

bool IsIdentStart(char ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch == '_';
}
bool IsDigit(char ch) {
  return ch >= '0' && ch <= '9';
}
bool IsIdentChar(char ch) {
  return IsIdentStart(ch) || IsDigit(ch);
}
bool IsHexDigit(char ch) {
  return IsDigit(ch) || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f');
}
unsigned long DigitValue(char ch) {
  if (IsDigit(ch)) return static_cast<unsigned long>(ch - '0');
  return static_cast<unsigned long>((ch | 0x20) - 'a' + 10);
}

class TScanner {
 public:
  explicit TScanner(const std::string& text) : Text(text) {}

  std::vector<TToken> Run() {
    while (Pos < Text.size()) {
      char ch = Text[Pos];
      if (ch == '\r' || ch == '\n') {
        NewLine();
      } else if (ch == ' ' || ch == '\t' || ch == '\f' || ch == '\v' || ch == '\0') {
        ++Pos;
      } else if (ch == '{') {
        BlockComment(1, "}");
      } else if (ch == '(' && Peek(1) == '*') {
        BlockComment(2, "*)");
      } else if (ch == '/' && Peek(1) == '/') {
        while (Pos < Text.size() && Text[Pos] != '\r' && Text[Pos] != '\n') ++Pos;
      } else if (ch == '\'' || ch == '#') {
        StringLiteral();
      } else if (IsIdentStart(ch) || (ch == '&' && IsIdentStart(Peek(1)))) {
        size_t start = Pos;
        if (ch == '&') ++start;
        Pos = start;
        while (Pos < Text.size() && IsIdentChar(Text[Pos])) ++Pos;
        Add(TTokenKind::Identifier, Text.substr(start, Pos - start), Line);
      } else if (IsDigit(ch) || (ch == '$' && IsHexDigit(Peek(1)))) {
        size_t start = Pos++;
        while (Pos < Text.size() &&
               (IsHexDigit(Text[Pos]) || Text[Pos] == '.' || Text[Pos] == 'e' || Text[Pos] == 'E')) {
          if (Text[Pos] == '.' && Peek(1) == '.') break;  // a range: 1..9
          ++Pos;
        }
        Add(TTokenKind::Number, Text.substr(start, Pos - start), Line);
      } else {
        Add(TTokenKind::Symbol, std::string(1, ch), Line);
        ++Pos;
      }
    }
    Add(TTokenKind::EndOfFile, "", Line);
    return std::move(Tokens);
  }

 private:
  char Peek(size_t ahead) const { return Pos + ahead < Text.size() ? Text[Pos + ahead] : '\0'; }

  void NewLine() {
    if (Text[Pos] == '\r' && Peek(1) == '\n') ++Pos;
    ++Pos;
    ++Line;
  }

  void Add(TTokenKind kind, std::string text, int line) { Tokens.push_back(TToken{kind, std::move(text), line}); }

  void BlockComment(size_t openLength, const std::string& close) {
    int startLine = Line;
    Pos += openLength;
    bool directive = Pos < Text.size() && Text[Pos] == '$';
    size_t contentStart = Pos + (directive ? 1 : 0);
    while (Pos < Text.size() && Text.compare(Pos, close.size(), close) != 0) {
      if (Text[Pos] == '\r' || Text[Pos] == '\n')
        NewLine();
      else
        ++Pos;
    }
    if (Pos >= Text.size()) {
      Add(TTokenKind::Problem, "Unexpected end of file in comment started on line " + std::to_string(startLine),
          startLine);
      return;
    }
    if (directive) Add(TTokenKind::Directive, Text.substr(contentStart, Pos - contentStart), startLine);
    Pos += close.size();
  }

  // A run of quoted parts and #nn character codes forms one literal.
  void StringLiteral() {
    int startLine = Line;
    std::string value;
    while (Pos < Text.size()) {
      if (Text[Pos] == '#') {
        ++Pos;
        size_t start = Pos;
        bool hex = Pos < Text.size() && Text[Pos] == '$';
        if (hex) ++Pos;
        while (Pos < Text.size() && (hex ? IsHexDigit(Text[Pos]) : IsDigit(Text[Pos]))) ++Pos;
        if (Pos == start + (hex ? 1 : 0)) {
          Add(TTokenKind::Problem, "Illegal character in input file: '#'", startLine);
          return;
        }
        unsigned long code = 0;
        for (size_t i = start + (hex ? 1 : 0); i < Pos && code < 0x10000; ++i)
          code = code * (hex ? 16 : 10) + DigitValue(Text[i]);
        value.push_back(static_cast<char>(code & 0xFF));
      } else if (Text[Pos] == '\'') {
        ++Pos;
        for (;;) {
          if (Pos >= Text.size() || Text[Pos] == '\r' || Text[Pos] == '\n') {
            Add(TTokenKind::Problem, "Unterminated string", startLine);
            return;
          }
          if (Text[Pos] == '\'') {
            if (Peek(1) != '\'') break;
            ++Pos;
          }
          value.push_back(Text[Pos++]);
        }
        ++Pos;
      } else {
        break;
      }
    }
    Add(TTokenKind::String, std::move(value), startLine);
  }

  const std::string& Text;
  size_t Pos = 0;
  int Line = 1;
  std::vector<TToken> Tokens;
};

}  // namespace

std::vector<TToken> ScanPascal(const std::string& text) {
  return TScanner(text).Run();
}

int CountLines(const std::string& text) {
  int lines = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++lines;
    } else if (text[i] == '\n') {
      ++lines;
    }
  }
  if (!text.empty() && text.back() != '\r' && text.back() != '\n') ++lines;
  return lines;
}

std::string UpperAscii(std::string text) {
  for (char& ch : text)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
  return text;
}

}  // namespace tesmar_tools
