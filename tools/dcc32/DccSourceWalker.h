#pragma once

#include <set>
#include <string>
#include <vector>

#include "dcc32/DccRun.h"
#include "dcc32/PascalScanner.h"

namespace tesmar_tools {

// Walks the tokens of one source file in order: its heading, its uses (and,
// in a package, contains) clauses, and the directives that matter here
// (conditionals, messages, resources, application type). Everything else of
// the language is passed over.
class TSourceWalker {
 public:
  TSourceWalker(TDccRun& run, std::string path, std::string display, const std::vector<TToken>& tokens, bool isMain);
  void Walk();

 private:
  struct TCondition {
    bool ParentActive;
    bool Active;
    bool Taken;  // some branch of this conditional has been active
    int Line;
  };

  // The next token of active code; directives met on the way are carried out.
  const TToken& NextActive();
  bool Active() const { return Conditions.empty() || Conditions.back().Active; }
  void Directive(const TToken& token);
  void Conditional(const std::string& name, const std::string& argument, int line);
  bool Evaluate(const std::string& expression) const;
  void MessageDirective(const std::string& argument, int line);
  void Heading();
  void PackageClause();
  void Clause();
  void SkipTo(const char* symbol);
  void Error(int line, const std::string& text);
  static std::string Describe(const TToken& token);
  static bool IsSymbol(const TToken& token, char symbol);
  static bool IsWord(const TToken& token, const char* upperWord);

  TDccRun& Run;
  std::string Path;
  std::string Display;
  const std::vector<TToken>& Tokens;
  bool IsMain;
  bool IsPackage = false;
  size_t Next = 0;
  std::vector<TCondition> Conditions;
  std::set<std::string> Defines;  // upper case
};

}  // namespace tesmar_tools
