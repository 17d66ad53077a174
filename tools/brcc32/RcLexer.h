#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brcc32/RcSymbols.h"

namespace tesmar_brcc {

enum class TTokKind { End, Name, Number, String, HexString, Punct };

struct TToken {
  TTokKind Kind = TTokKind::End;
  // Name: as written. String: the bytes after escapes (a wide string keeps its
  // UTF-16 text in Wide). HexString: the bytes. Punct: the operator ("{", "||").
  std::string Text;
  std::string Raw;  // String: the characters between the quotes as written
  std::u16string Wide;
  bool IsWide = false;
  uint32_t Value = 0;  // Number
  bool Long = false;   // Number written with an L suffix
  int Line = 1;
  int Column = 1;

  bool Is(const char* punct) const { return Kind == TTokKind::Punct && Text == punct; }
  // Keywords are matched without regard to case.
  bool IsWord(const char* keyword) const;
};

// Lines of a text split at CR, LF or CR LF; a last line without a line end counts.
int CountLines(const std::string& text);

// Splits a resource script into tokens. Comments and blanks are skipped;
// preprocessor lines (# first on a line) are handled here: #define and #undef
// give names to numbers, #ifdef/#ifndef/#if/#elif/#else/#endif choose lines,
// #error stops with its text, and #include, #pragma and the rest are skipped
// (the Windows constants are built in, so scripts need no headers).
class TRcLexer {
 public:
  TRcLexer(const std::string& text, const std::string& fileName, TRcSymbols& symbols, uint32_t codePage,
           bool directives = true, int line = 1, int column = 1);

  const TToken& Peek();
  TToken Next();
  // The first character of the next token, without lexing it (-1 at the end).
  int PeekChar();
  // A file name written without quotes: the characters up to the next blank.
  TToken NextRawWord();

  [[noreturn]] void Fail(int line, int column, const std::string& message) const;
  [[noreturn]] void Fail(const TToken& at, const std::string& message) const { Fail(at.Line, at.Column, message); }

  // Lines of the script; a last line without a line end counts.
  int LineCount() const { return Lines; }
  TRcSymbols& Symbols() { return Syms; }
  bool InDirective() const { return !Directives; }

 private:
  struct TPos {
    std::size_t Offset = 0;
    int Line = 1;
    int Column = 1;
  };

  int Cur() const { return P.Offset < Text.size() ? static_cast<unsigned char>(Text[P.Offset]) : -1; }
  int At(std::size_t ahead) const {
    return P.Offset + ahead < Text.size() ? static_cast<unsigned char>(Text[P.Offset + ahead]) : -1;
  }
  void Advance();
  bool AtLineEnd() const { return Cur() == '\n' || Cur() == '\r'; }
  void SkipBlanks();
  std::string RestOfLine();
  void Directive();
  bool Skipping() const;
  void SkipInactiveLine();
  TToken Lex();
  void LexNumber(TToken& t);
  void LexString(TToken& t);
  void LexHex(TToken& t);

  const std::string& Text;
  std::string FileName;
  TRcSymbols& Syms;
  uint32_t CodePage;
  bool Directives;
  TPos P;
  TPos PeekStart;
  TPos LastEnd;
  bool HavePeek = false;
  TToken PeekTok;
  bool LineStart = true;
  int Lines = 0;
  // One state per open #if: whether its lines are read, and whether a branch was taken.
  struct TCond {
    bool Active;
    bool Taken;
    bool ParentActive;
    bool SeenElse;
    int Line;
    int Column;
  };
  std::vector<TCond> Conds;
};

}  // namespace tesmar_brcc
