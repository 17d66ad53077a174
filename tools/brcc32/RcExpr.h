#pragma once

#include <cstdint>

#include "brcc32/RcLexer.h"

namespace tesmar_brcc {

struct TRcValue {
  uint32_t Value = 0;
  bool Long = false;  // some operand carried an L suffix
};

// Whether the token can begin a numeric expression.
bool StartsExpression(const TToken& token, const TRcSymbols& symbols);
// A numeric expression with the C operators resource scripts use (| & ^ + - *
// / % ~ ! NOT, comparisons, parentheses), 32-bit unsigned. In a preprocessor
// line, defined(NAME) works and unknown names count 0; elsewhere an unknown
// name is an error.
TRcValue ParseExpression(TRcLexer& lex);

}  // namespace tesmar_brcc
