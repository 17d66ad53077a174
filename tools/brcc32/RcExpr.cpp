#include "brcc32/RcExpr.h"

namespace tesmar_brcc {

namespace {

constexpr int kMaxDepth = 100;

class TExprParser {
 public:
  explicit TExprParser(TRcLexer& lex) : Lex(lex), Pre(lex.InDirective()) {}

  TRcValue Binary(int level, int depth) {
    // Levels from the loosest binding: || && | ^ & ==,!= <,>,<=,>= <<,>> +,- *,/,%
    static const char* const kOps[][4] = {
        {"||"},       {"&&"},     {"|"},          {"^"}, {"&"}, {"==", "!="}, {"<", ">", "<=", ">="},
        {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};
    constexpr int kLevels = sizeof kOps / sizeof kOps[0];
    if (level == kLevels) return Unary(depth);
    TRcValue left = Binary(level + 1, depth);
    for (;;) {
      const TToken& t = Lex.Peek();
      const char* op = nullptr;
      for (const char* candidate : kOps[level])
        if (candidate && t.Is(candidate)) op = candidate;
      if (!op) return left;
      const TToken opTok = Lex.Next();
      const TRcValue right = Binary(level + 1, depth);
      left = Apply(opTok, left, right);
    }
  }

 private:
  TRcValue Apply(const TToken& op, TRcValue a, TRcValue b) {
    const uint32_t x = a.Value, y = b.Value;
    uint32_t r = 0;
    const std::string& o = op.Text;
    if (o == "||")
      r = (x || y) ? 1 : 0;
    else if (o == "&&")
      r = (x && y) ? 1 : 0;
    else if (o == "|")
      r = x | y;
    else if (o == "^")
      r = x ^ y;
    else if (o == "&")
      r = x & y;
    else if (o == "==")
      r = x == y;
    else if (o == "!=")
      r = x != y;
    else if (o == "<")
      r = x < y;
    else if (o == ">")
      r = x > y;
    else if (o == "<=")
      r = x <= y;
    else if (o == ">=")
      r = x >= y;
    else if (o == "<<")
      r = y >= 32 ? 0 : x << y;
    else if (o == ">>")
      r = y >= 32 ? 0 : x >> y;
    else if (o == "+")
      r = x + y;
    else if (o == "-")
      r = x - y;
    else if (o == "*")
      r = x * y;
    else {
      if (y == 0) Lex.Fail(op, "division by zero");
      r = o == "/" ? x / y : x % y;
    }
    return TRcValue{r, a.Long || b.Long};
  }

  TRcValue Unary(int depth) {
    if (depth > kMaxDepth) Lex.Fail(Lex.Peek(), "expression nested too deeply");
    const TToken& t = Lex.Peek();
    if (t.Is("-") || t.Is("~") || t.Is("!") || t.Is("+") || t.IsWord("NOT")) {
      const TToken op = Lex.Next();
      TRcValue v = Unary(depth + 1);
      if (op.Is("-"))
        v.Value = 0u - v.Value;
      else if (op.Is("~") || op.IsWord("NOT"))
        v.Value = ~v.Value;
      else if (op.Is("!"))
        v.Value = v.Value == 0 ? 1 : 0;
      return v;
    }
    return Primary(depth);
  }

  TRcValue Primary(int depth) {
    const TToken t = Lex.Next();
    if (t.Kind == TTokKind::Number) return TRcValue{t.Value, t.Long};
    if (t.Is("(")) {
      const TRcValue v = Binary(0, depth + 1);
      const TToken close = Lex.Next();
      if (!close.Is(")")) Lex.Fail(close, "')' expected");
      return v;
    }
    if (t.Kind == TTokKind::Name) {
      if (Pre && t.Text == "defined") {
        const bool paren = Lex.Peek().Is("(");
        if (paren) Lex.Next();
        const TToken name = Lex.Next();
        if (name.Kind != TTokKind::Name) Lex.Fail(name, "name expected after defined");
        if (paren && !Lex.Next().Is(")")) Lex.Fail(name, "')' expected after defined(" + name.Text);
        return TRcValue{Lex.Symbols().Find(name.Text) ? 1u : 0u, false};
      }
      const TRcSymbol* s = Lex.Symbols().Find(t.Text);
      if (s && s->HasValue) return TRcValue{s->Value, s->Long};
      if (Pre) return TRcValue{};
      if (s) Lex.Fail(t, "'" + t.Text + "' has no numeric value");
      Lex.Fail(t, "number expected instead of unknown name '" + t.Text + "'");
    }
    if (t.Kind == TTokKind::End) Lex.Fail(t, "number expected");
    Lex.Fail(t,
             "number expected instead of " + std::string(t.Kind == TTokKind::String ? "a string" : "'" + t.Text + "'"));
  }

  TRcLexer& Lex;
  bool Pre;
};

}  // namespace

bool StartsExpression(const TToken& t, const TRcSymbols& symbols) {
  if (t.Kind == TTokKind::Number || t.Is("(") || t.Is("-") || t.Is("~") || t.Is("!") || t.Is("+") || t.IsWord("NOT"))
    return true;
  return t.Kind == TTokKind::Name && symbols.Find(t.Text) != nullptr;
}

TRcValue ParseExpression(TRcLexer& lex) {
  return TExprParser(lex).Binary(0, 0);
}

}  // namespace tesmar_brcc
