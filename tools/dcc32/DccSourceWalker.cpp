#include "dcc32/DccSourceWalker.h"

#include <cctype>
#include <functional>

#include "dcc32/FindFile.h"

namespace tesmar_tools {

namespace {

// What every compile knows without being told.
const char* const PredefinedSymbols[] = {"WIN32", "MSWINDOWS", "CPU386", "CPUX86", "VER130"};

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

TSourceWalker::TSourceWalker(TDccRun& run, std::string path, std::string display, const std::vector<TToken>& tokens,
                             bool isMain)
    : Run(run), Path(std::move(path)), Display(std::move(display)), Tokens(tokens), IsMain(isMain) {
  for (const char* symbol : PredefinedSymbols) Defines.insert(symbol);
  for (const std::string& symbol : Run.Options().Defines) Defines.insert(UpperAscii(symbol));
}

void TSourceWalker::Walk() {
  Heading();
  if (IsPackage) PackageClause();
  for (;;) {
    const TToken& token = NextActive();
    if (token.Kind == TTokenKind::EndOfFile) break;
    if (IsWord(token, "USES") || (IsPackage && IsWord(token, "CONTAINS")))
      Clause();
    else if (IsPackage && IsWord(token, "REQUIRES"))
      SkipTo(";");  // packages are linked as they are
  }
  if (!Conditions.empty()) Error(Conditions.back().Line, "Unterminated conditional directive");
}

void TSourceWalker::Heading() {
  const TToken& token = NextActive();
  if (IsMain) {
    static const std::pair<const char*, TDccTarget> headings[] = {{"PROGRAM", TDccTarget::Program},
                                                                  {"LIBRARY", TDccTarget::Library},
                                                                  {"PACKAGE", TDccTarget::Package},
                                                                  {"UNIT", TDccTarget::Unit}};
    for (const auto& [word, target] : headings) {
      if (IsWord(token, word)) {
        Run.SetTarget(target);
        IsPackage = target == TDccTarget::Package;
        return;
      }
    }
    std::string expected = UpperAscii(ExtensionOf(Path)) == ".DPK" ? "PACKAGE" : "PROGRAM";
    Error(token.Line, "'" + expected + "' expected but " + Describe(token) + " found");
  } else if (!IsWord(token, "UNIT")) {
    Error(token.Line, "'UNIT' expected but " + Describe(token) + " found");
  }
}

// The package's name and ';', then its requires clause, its contains clause
// or its end: what stands between them (a directive without its braces, say)
// is no Pascal.
void TSourceWalker::PackageClause() {
  const TToken* token = &NextActive();
  // A dotted name: a word, then '.' and a word as often as they come.
  while (token->Kind == TTokenKind::Identifier) {
    token = &NextActive();
    if (!IsSymbol(*token, '.')) break;
    token = &NextActive();
  }
  if (!IsSymbol(*token, ';')) {
    Error(token->Line, "';' expected but " + Describe(*token) + " found");
    return;
  }
  const TToken& next = NextActive();
  if (IsWord(next, "REQUIRES"))
    SkipTo(";");  // packages are linked as they are
  else if (IsWord(next, "CONTAINS"))
    Clause();
  else if (!IsWord(next, "END"))
    Error(next.Line, "'REQUIRES' expected but " + Describe(next) + " found");
}

// name [in 'path'] {, name [in 'path']} ;
void TSourceWalker::Clause() {
  for (;;) {
    const TToken* token = &NextActive();
    if (token->Kind != TTokenKind::Identifier) {
      Error(token->Line, "Identifier expected but " + Describe(*token) + " found");
      return;
    }
    std::string name = token->Text;
    int line = token->Line;
    token = &NextActive();
    while (IsSymbol(*token, '.')) {
      const TToken& part = NextActive();
      if (part.Kind != TTokenKind::Identifier) {
        Error(part.Line, "Identifier expected but " + Describe(part) + " found");
        return;
      }
      name += "." + part.Text;
      token = &NextActive();
    }
    std::string inPath;
    if (IsWord(*token, "IN")) {
      const TToken& path = NextActive();
      if (path.Kind != TTokenKind::String || path.Text.empty()) {
        Error(path.Line, "String constant expected but " + Describe(path) + " found");
        return;
      }
      inPath = path.Text;
      token = &NextActive();
    }
    Run.UseUnit(name, inPath, Display, line);
    if (IsSymbol(*token, ';')) return;
    if (!IsSymbol(*token, ',')) {
      Error(token->Line, "';' expected but " + Describe(*token) + " found");
      return;
    }
  }
}

void TSourceWalker::SkipTo(const char* symbol) {
  for (;;) {
    const TToken& token = NextActive();
    if (token.Kind == TTokenKind::EndOfFile) return;
    if (token.Kind == TTokenKind::Symbol && token.Text == symbol) return;
  }
}

const TToken& TSourceWalker::NextActive() {
  for (;;) {
    const TToken& token = Tokens[Next];
    if (token.Kind == TTokenKind::EndOfFile) {
      // Stays on the end: every later call sees it again.
      return token;
    }
    ++Next;
    if (token.Kind == TTokenKind::Directive) {
      Directive(token);
    } else if (Active()) {
      if (token.Kind != TTokenKind::Problem) return token;
      Error(token.Line, token.Text);
    }
  }
}

void TSourceWalker::Directive(const TToken& token) {
  const std::string& text = token.Text;
  size_t end = 0;
  while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) ++end;
  std::string name = UpperAscii(text.substr(0, end));
  std::string argument = Trim(text.substr(end));
  // {$R+}, {$A-,B+}: switches, whatever their letter.
  if (name.size() == 1 && end < text.size() && (text[end] == '+' || text[end] == '-')) return;

  static const std::set<std::string> conditionals = {"IFDEF",  "IFNDEF", "IFOPT", "IF",     "ELSE",
                                                     "ELSEIF", "ENDIF",  "IFEND", "DEFINE", "UNDEF"};
  if (conditionals.count(name)) {
    Conditional(name, argument, token.Line);
    return;
  }
  if (!Active()) return;
  if (name == "MESSAGE") {
    MessageDirective(argument, token.Line);
  } else if (name == "R" || name == "RESOURCE") {
    if (!argument.empty()) Run.LinkResource(argument, Path, Display, token.Line);
  } else if (name == "APPTYPE" && IsMain) {
    std::string type = UpperAscii(argument);
    if (type == "CONSOLE" || type == "GUI")
      Run.SetConsole(type == "CONSOLE");
    else
      Error(token.Line, "Invalid compiler directive: '$APPTYPE " + argument + "'");
  }
  // Every other directive ({$I}, {$DESCRIPTION}, {$ALIGN}, ...) changes nothing here.
}

void TSourceWalker::Conditional(const std::string& name, const std::string& argument, int line) {
  std::string symbol = UpperAscii(argument.substr(0, argument.find_first_of(" \t")));
  if (name == "DEFINE" || name == "UNDEF") {
    if (!Active()) return;
    if (name == "DEFINE")
      Defines.insert(symbol);
    else
      Defines.erase(symbol);
    return;
  }
  if (name == "IFDEF" || name == "IFNDEF" || name == "IFOPT" || name == "IF") {
    bool condition = true;  // {$IFOPT}: the switches stay at their defaults, which this takes as set
    if (name == "IFDEF") condition = Defines.count(symbol) > 0;
    if (name == "IFNDEF") condition = Defines.count(symbol) == 0;
    if (name == "IF") condition = Evaluate(argument);
    bool parent = Active();
    Conditions.push_back(TCondition{parent, parent && condition, condition, line});
    return;
  }
  if (Conditions.empty()) {
    Error(line, "Misplaced conditional directive: '$" + name + "'");
    return;
  }
  TCondition& top = Conditions.back();
  if (name == "ELSE") {
    top.Active = top.ParentActive && !top.Taken;
    top.Taken = true;
  } else if (name == "ELSEIF") {
    bool condition = !top.Taken && Evaluate(argument);
    top.Active = top.ParentActive && condition;
    top.Taken = top.Taken || condition;
  } else {
    Conditions.pop_back();
  }
}

// {$IF} expressions built from Defined(X), NOT, AND, OR, parentheses, TRUE and
// FALSE are evaluated; anything else (constants, CompilerVersion, ...) counts
// as true, so that its code is looked at rather than skipped.
bool TSourceWalker::Evaluate(const std::string& expression) const {
  std::vector<TToken> tokens = ScanPascal(expression);
  size_t at = 0;
  bool ok = true;
  int depth = 0;  // nesting is bounded so that no expression can exhaust the stack
  auto word = [&](const char* upper) { return IsWord(tokens[at], upper); };
  std::function<bool()> orExpr;
  std::function<bool()> factor = [&]() -> bool {
    if (++depth > 64) ok = false;
    if (!ok) return true;
    struct TLeave {
      int& Depth;
      ~TLeave() { --Depth; }
    } leave{depth};
    if (word("NOT")) {
      ++at;
      return !factor();
    }
    if (IsSymbol(tokens[at], '(')) {
      ++at;
      bool value = orExpr();
      if (IsSymbol(tokens[at], ')'))
        ++at;
      else
        ok = false;
      return value;
    }
    if (word("TRUE") || word("FALSE")) return word("TRUE") ? (++at, true) : (++at, false);
    if (word("DEFINED") && IsSymbol(tokens[at + 1], '(') && tokens[at + 2].Kind == TTokenKind::Identifier &&
        IsSymbol(tokens[at + 3], ')')) {
      bool value = Defines.count(UpperAscii(tokens[at + 2].Text)) > 0;
      at += 4;
      return value;
    }
    ok = false;
    return true;
  };
  std::function<bool()> andExpr = [&]() {
    bool value = factor();
    while (ok && word("AND")) {
      ++at;
      value = factor() && value;
    }
    return value;
  };
  orExpr = [&]() {
    bool value = andExpr();
    while (ok && word("OR")) {
      ++at;
      value = andExpr() || value;
    }
    return value;
  };
  bool value = orExpr();
  return ok && tokens[at].Kind == TTokenKind::EndOfFile ? value : true;
}

// {$MESSAGE [HINT|WARN|ERROR|FATAL] 'text'}
void TSourceWalker::MessageDirective(const std::string& argument, int line) {
  std::vector<TToken> tokens = ScanPascal(argument);
  std::string kind = "Hint";
  size_t at = 0;
  if (tokens[at].Kind == TTokenKind::Identifier) {
    std::string word = UpperAscii(tokens[at].Text);
    if (word == "HINT")
      kind = "Hint";
    else if (word == "WARN")
      kind = "Warning";
    else if (word == "ERROR")
      kind = "Error";
    else if (word == "FATAL")
      kind = "Fatal";
    else
      kind.clear();
    ++at;
  }
  if (kind.empty() || tokens[at].Kind != TTokenKind::String || tokens[at + 1].Kind != TTokenKind::EndOfFile) {
    Error(line, "Invalid compiler directive: '$MESSAGE " + argument + "'");
    return;
  }
  Run.Message(Display, line, kind, tokens[at].Text);
}

void TSourceWalker::Error(int line, const std::string& text) {
  Run.Message(Display, line, "Error", text);
}

std::string TSourceWalker::Describe(const TToken& token) {
  switch (token.Kind) {
    case TTokenKind::EndOfFile:
      return "end of file";
    case TTokenKind::String:
      return "string constant";
    case TTokenKind::Number:
      return "number";
    case TTokenKind::Identifier:
      return "identifier '" + token.Text + "'";
    default:
      return "'" + token.Text + "'";
  }
}

bool TSourceWalker::IsSymbol(const TToken& token, char symbol) {
  return token.Kind == TTokenKind::Symbol && token.Text.size() == 1 && token.Text[0] == symbol;
}

bool TSourceWalker::IsWord(const TToken& token, const char* upperWord) {
  return token.Kind == TTokenKind::Identifier && UpperAscii(token.Text) == upperWord;
}

}  // namespace tesmar_tools
