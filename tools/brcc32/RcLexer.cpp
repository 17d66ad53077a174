#include "brcc32/RcLexer.h"

#include <cstdio>

#include "brcc32/RcError.h"
#include "brcc32/RcExpr.h"
#include "brcc32/RcText.h"

namespace tesmar_brcc {

namespace {

constexpr std::size_t kMaxConditionDepth = 64;

bool IsNameStart(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsNameChar(int c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}
bool IsDigit(int c) {
  return c >= '0' && c <= '9';
}
bool IsBlank(int c) {
  return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}
int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Shown(int c) {
  if (c >= 0x21 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%02X", static_cast<unsigned>(c));
  return buf;
}

}  // namespace

bool TToken::IsWord(const char* keyword) const {
  return Kind == TTokKind::Name && UpperAscii(Text) == keyword;
}

TRcLexer::TRcLexer(const std::string& text, const std::string& fileName, TRcSymbols& symbols, uint32_t codePage,
                   bool directives, int line, int column)
    : Text(text), FileName(fileName), Syms(symbols), CodePage(codePage), Directives(directives) {
  P.Line = line;
  P.Column = column;
  LastEnd = P;
  Lines = CountLines(text);
}

int CountLines(const std::string& text) {
  int lines = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++lines;
  }
  if (!text.empty() && text.back() != '\n' && text.back() != '\r') ++lines;
  return lines;
}

void TRcLexer::Fail(int line, int column, const std::string& message) const {
  throw TRcError(FileName, line, column, message);
}

void TRcLexer::Advance() {
  const int c = Cur();
  if (c < 0) return;
  ++P.Offset;
  if (c == '\n' || (c == '\r' && Cur() != '\n')) {
    ++P.Line;
    P.Column = 1;
    LineStart = true;
  } else if (c != '\r') {
    ++P.Column;
  }
}

bool TRcLexer::Skipping() const {
  return !Conds.empty() && !Conds.back().Active;
}

std::string TRcLexer::RestOfLine() {
  std::string rest;
  while (Cur() >= 0 && !AtLineEnd()) {
    // A backslash at the end of a line joins the next one.
    if (Cur() == '\\' && (At(1) == '\n' || At(1) == '\r')) {
      Advance();
      Advance();
      rest.push_back(' ');
      continue;
    }
    rest.push_back(static_cast<char>(Cur()));
    Advance();
  }
  return rest;
}

void TRcLexer::SkipInactiveLine() {
  while (Cur() >= 0 && !AtLineEnd()) Advance();
}

void TRcLexer::Directive() {
  const TPos hash = P;
  Advance();  // '#'
  while (IsBlank(Cur())) Advance();
  std::string word;
  while (IsNameChar(Cur())) {
    word.push_back(static_cast<char>(Cur()));
    Advance();
  }
  const TPos restPos = P;
  const std::string rest = RestOfLine();
  TRcLexer sub(rest, FileName, Syms, CodePage, false, restPos.Line, restPos.Column);
  const bool skipping = Skipping();

  auto condition = [&]() -> bool {
    if (sub.Peek().Kind == TTokKind::End) Fail(sub.Peek(), "expression expected after #" + word);
    const bool value = ParseExpression(sub).Value != 0;
    if (sub.Peek().Kind != TTokKind::End) Fail(sub.Peek(), "end of line expected after #" + word + " expression");
    return value;
  };
  auto nameArg = [&]() -> std::string {
    const TToken t = sub.Next();
    if (t.Kind != TTokKind::Name) Fail(t, "name expected after #" + word);
    return t.Text;
  };

  if (word == "if" || word == "ifdef" || word == "ifndef") {
    if (Conds.size() >= kMaxConditionDepth) Fail(hash.Line, hash.Column, "#if nested too deeply");
    bool value = false;
    if (!skipping) {
      if (word == "if")
        value = condition();
      else
        value = (Syms.Find(nameArg()) != nullptr) == (word == "ifdef");
    }
    Conds.push_back(TCond{!skipping && value, value, !skipping, false, hash.Line, hash.Column});
  } else if (word == "elif") {
    if (Conds.empty() || Conds.back().SeenElse) Fail(hash.Line, hash.Column, "#elif without #if");
    TCond& c = Conds.back();
    if (c.ParentActive && !c.Taken) {
      c.Active = condition();
      c.Taken = c.Active;
    } else {
      c.Active = false;
    }
  } else if (word == "else") {
    if (Conds.empty() || Conds.back().SeenElse) Fail(hash.Line, hash.Column, "#else without #if");
    TCond& c = Conds.back();
    c.SeenElse = true;
    c.Active = c.ParentActive && !c.Taken;
    c.Taken = true;
  } else if (word == "endif") {
    if (Conds.empty()) Fail(hash.Line, hash.Column, "#endif without #if");
    Conds.pop_back();
  } else if (skipping) {
    // Lines of a branch not taken are not read.
  } else if (word == "define") {
    const std::string name = nameArg();
    TRcSymbol symbol;
    // A name with parameters or a value that is no number is only "defined".
    if (sub.Peek().Kind != TTokKind::End && !sub.Peek().Is("(") && StartsExpression(sub.Peek(), Syms)) {
      try {
        const TRcValue v = ParseExpression(sub);
        if (sub.Peek().Kind == TTokKind::End) symbol = TRcSymbol{true, v.Value, v.Long};
      } catch (const TRcError&) {
        symbol = TRcSymbol{};
      }
    }
    Syms.Define(name, symbol);
  } else if (word == "undef") {
    Syms.Undefine(nameArg());
  } else if (word == "error") {
    Fail(hash.Line, hash.Column, "#error" + rest);
  }
  // #include, #pragma, #line and unknown directives are skipped.
}

void TRcLexer::SkipBlanks() {
  for (;;) {
    const int c = Cur();
    if (c < 0) {
      if (!Conds.empty()) Fail(Conds.back().Line, Conds.back().Column, "#endif expected for this #if");
      return;
    }
    if (c == '\n' || c == '\r') {
      Advance();
      continue;
    }
    if (IsBlank(c)) {
      Advance();
      continue;
    }
    if (Directives && LineStart && c == '#') {
      Directive();
      continue;
    }
    if (Skipping()) {
      SkipInactiveLine();
      continue;
    }
    if (c == '/' && At(1) == '/') {
      while (Cur() >= 0 && !AtLineEnd()) Advance();
      continue;
    }
    if (c == '/' && At(1) == '*') {
      const TPos start = P;
      Advance();
      Advance();
      while (Cur() >= 0 && !(Cur() == '*' && At(1) == '/')) Advance();
      if (Cur() < 0) Fail(start.Line, start.Column, "end of comment expected for this /*");
      Advance();
      Advance();
      continue;
    }
    return;
  }
}

const TToken& TRcLexer::Peek() {
  if (!HavePeek) {
    SkipBlanks();
    PeekStart = P;
    PeekTok = Lex();
    HavePeek = true;
  }
  return PeekTok;
}

TToken TRcLexer::Next() {
  Peek();
  HavePeek = false;
  return std::move(PeekTok);
}

int TRcLexer::PeekChar() {
  if (HavePeek) return PeekStart.Offset < Text.size() ? static_cast<unsigned char>(Text[PeekStart.Offset]) : -1;
  SkipBlanks();
  return Cur();
}

TToken TRcLexer::NextRawWord() {
  if (HavePeek) {
    P = PeekStart;
    HavePeek = false;
  } else {
    SkipBlanks();
  }
  TToken t;
  t.Kind = TTokKind::String;
  t.Line = P.Line;
  t.Column = P.Column;
  while (Cur() >= 0 && !AtLineEnd() && !IsBlank(Cur())) {
    t.Text.push_back(static_cast<char>(Cur()));
    Advance();
  }
  t.Raw = t.Text;
  LineStart = false;
  LastEnd = P;
  return t;
}

TToken TRcLexer::Lex() {
  TToken t;
  t.Line = P.Line;
  t.Column = P.Column;
  const int c = Cur();
  if (c < 0) {
    t.Kind = TTokKind::End;
    t.Line = LastEnd.Line;
    t.Column = LastEnd.Column;
    return t;
  }
  LineStart = false;
  if (c == 'L' && At(1) == '"') {
    Advance();
    t.IsWide = true;
    LexString(t);
  } else if (IsNameStart(c)) {
    t.Kind = TTokKind::Name;
    while (IsNameChar(Cur())) {
      t.Text.push_back(static_cast<char>(Cur()));
      Advance();
    }
  } else if (IsDigit(c)) {
    LexNumber(t);
  } else if (c == '"') {
    LexString(t);
  } else if (c == '\'') {
    LexHex(t);
  } else {
    static const char* const kTwo[] = {"&&", "||", "==", "!=", "<=", ">=", "<<", ">>"};
    t.Kind = TTokKind::Punct;
    for (const char* two : kTwo) {
      if (c == two[0] && At(1) == two[1]) t.Text = two;
    }
    if (t.Text.empty()) {
      static const std::string kOne = "{},|+-()~&^*/%!=<>:";
      if (kOne.find(static_cast<char>(c)) == std::string::npos) Fail(t, "unexpected character " + Shown(c));
      t.Text = std::string(1, static_cast<char>(c));
    }
    for (std::size_t i = 0; i < t.Text.size(); ++i) Advance();
  }
  LastEnd = P;
  return t;
}

void TRcLexer::LexNumber(TToken& t) {
  t.Kind = TTokKind::Number;
  std::string word;
  while (IsNameChar(Cur())) {
    word.push_back(static_cast<char>(Cur()));
    Advance();
  }
  t.Text = word;
  std::size_t i = 0;
  uint64_t value = 0;
  const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
  bool any = false;
  if (hex) {
    for (i = 2; i < word.size() && HexValue(word[i]) >= 0; ++i) {
      value = value * 16 + static_cast<uint64_t>(HexValue(word[i]));
      if (value > 0xFFFFFFFFu) Fail(t, "number " + word + " is too large");
      any = true;
    }
  } else {
    for (; i < word.size() && IsDigit(word[i]); ++i) {
      value = value * 10 + static_cast<uint64_t>(word[i] - '0');
      if (value > 0xFFFFFFFFu) Fail(t, "number " + word + " is too large");
      any = true;
    }
  }
  // Suffixes: L (a DWORD in data) and U, in any order.
  for (; any && i < word.size(); ++i) {
    const char s = word[i];
    if (s == 'L' || s == 'l')
      t.Long = true;
    else if (s != 'U' && s != 'u')
      break;
  }
  if (!any || i != word.size()) Fail(t, "invalid number '" + word + "'");
  t.Value = static_cast<uint32_t>(value);
}

void TRcLexer::LexString(TToken& t) {
  t.Kind = TTokKind::String;
  Advance();  // opening quote
  const std::size_t rawStart = P.Offset;
  std::string raw;  // bytes not yet converted (wide strings)
  auto put = [&](uint32_t unit, bool isByte) {
    if (!t.IsWide) {
      t.Text.push_back(static_cast<char>(unit & 0xFF));
    } else if (isByte) {
      raw.push_back(static_cast<char>(unit & 0xFF));
    } else {
      t.Wide += ToUtf16(raw, CodePage);
      raw.clear();
      t.Wide.push_back(static_cast<char16_t>(unit & 0xFFFF));
    }
  };
  for (;;) {
    const int c = Cur();
    if (c < 0 || c == '\n' || c == '\r') Fail(t, "closing '\"' expected for this string");
    if (c == '"') {
      Advance();
      if (Cur() != '"') break;
      put('"', true);  // "" stands for one quote
      Advance();
      continue;
    }
    if (c != '\\') {
      put(static_cast<uint32_t>(c), true);
      Advance();
      continue;
    }
    Advance();
    const int e = Cur();
    if (e < 0 || e == '\n' || e == '\r') Fail(t, "closing '\"' expected for this string");
    switch (e) {
      case 'n':
        put('\n', false);
        Advance();
        continue;
      case 't':
        put('\t', false);
        Advance();
        continue;
      case 'r':
        put('\r', false);
        Advance();
        continue;
      case 'a':
        put('\a', false);
        Advance();
        continue;
      case 'b':
        put('\b', false);
        Advance();
        continue;
      case 'f':
        put('\f', false);
        Advance();
        continue;
      case 'v':
        put('\v', false);
        Advance();
        continue;
      case '\\':
      case '"':
      case '\'':
      case '?':
        put(static_cast<uint32_t>(e), false);
        Advance();
        continue;
      default:
        break;
    }
    if (e >= '0' && e <= '7') {
      uint32_t v = 0;
      for (int k = 0; k < (t.IsWide ? 6 : 3) && Cur() >= '0' && Cur() <= '7'; ++k) {
        v = v * 8 + static_cast<uint32_t>(Cur() - '0');
        Advance();
      }
      put(v, false);
    } else if ((e == 'x' || e == 'X') && HexValue(At(1)) >= 0) {
      Advance();
      uint32_t v = 0;
      for (int k = 0; k < (t.IsWide ? 4 : 2) && HexValue(Cur()) >= 0; ++k) {
        v = v * 16 + static_cast<uint32_t>(HexValue(Cur()));
        Advance();
      }
      put(v, false);
    } else {
      // An unknown escape keeps its backslash.
      put('\\', true);
    }
  }
  if (t.IsWide) t.Wide += ToUtf16(raw, CodePage);
  t.Raw = Text.substr(rawStart, P.Offset - 1 - rawStart);
}

void TRcLexer::LexHex(TToken& t) {
  t.Kind = TTokKind::HexString;
  Advance();  // opening quote
  int pending = -1;
  for (;;) {
    const int c = Cur();
    if (c < 0 || c == '\n' || c == '\r') Fail(t, "closing \"'\" expected for this hexadecimal data");
    if (c == '\'') {
      if (pending >= 0) Fail(P.Line, P.Column, "second hexadecimal digit expected");
      Advance();
      return;
    }
    if (IsBlank(c)) {
      Advance();
      continue;
    }
    const int h = HexValue(c);
    if (h < 0) Fail(P.Line, P.Column, "hexadecimal digit expected instead of " + Shown(c));
    if (pending < 0) {
      pending = h;
    } else {
      t.Text.push_back(static_cast<char>(pending * 16 + h));
      pending = -1;
    }
    Advance();
  }
}

}  // namespace tesmar_brcc
