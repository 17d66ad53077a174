#include "engine/PackageDirectives.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <set>

#include "platform/AsciiText.h"
#include "platform/Error.h"

namespace {

using platform::UpperAscii;

bool IsIdentifierStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsIdentifierChar(char c) {
  return IsIdentifierStart(c) || (c >= '0' && c <= '9');
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (IsBlank(text.front()) || text.front() == '\r' || text.front() == '\n'))
    text.remove_prefix(1);
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
  return text;
}

// The long names of the one-letter switches ($A+, {$R-}).
std::optional<std::string> SwitchName(char letter) {
  static const char* const names[26] = {
      "ALIGN",         "BOOLEVAL",     "ASSERTIONS",   "DEBUGINFO",       nullptr,          nullptr,
      "IMPORTEDDATA",  "LONGSTRINGS",  "IOCHECKS",     "WRITEABLECONST",  nullptr,          "LOCALSYMBOLS",
      "TYPEINFO",      nullptr,        "OPTIMIZATION", "OPENSTRINGS",     "OVERFLOWCHECKS", "RANGECHECKS",
      nullptr,         "TYPEDADDRESS", "SAFEDIVIDE",   "VARSTRINGCHECKS", "STACKFRAMES",    "EXTENDEDSYNTAX",
      "REFERENCEINFO", "MINENUMSIZE"};
  const char upper = static_cast<char>(letter & ~0x20);
  if (upper < 'A' || upper > 'Z' || !names[upper - 'A']) return std::nullopt;
  return std::string(names[upper - 'A']);
}

// The long names of the one-letter directives that take a parameter.
std::string ParameterName(const std::string& name) {
  if (name == "D") return "DESCRIPTION";
  if (name == "E") return "EXTENSION";
  if (name == "I") return "INCLUDE";
  if (name == "L") return "LINK";
  if (name == "R") return "RESOURCE";
  return name;
}

// What a directive sets, so that two directives setting the same thing have
// the same keys. Conditionals have none: they are never merged.
struct TDirectiveKeys {
  std::set<std::string> Keys;
  bool Conditional = false;
};

TDirectiveKeys KeysOf(std::string_view body) {
  TDirectiveKeys result;
  std::size_t i = 0;
  while (i < body.size() && IsIdentifierChar(body[i])) ++i;
  const std::string name = UpperAscii(std::string(body.substr(0, i)));
  const std::string_view rest = Trim(body.substr(i));
  if (name.empty()) return result;

  static const std::set<std::string> conditionals = {"IF",   "IFDEF",  "IFNDEF", "IFOPT",
                                                     "ELSE", "ELSEIF", "ENDIF",  "IFEND"};
  if (conditionals.count(name)) {
    result.Conditional = true;
    return result;
  }
  // A switch, or a list of them: A+ or A+,B-,C+ (and A8, Z4).
  if (name.size() == 1 && !rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    std::string_view list = body;
    while (!list.empty()) {
      const std::string_view item = Trim(list.substr(0, list.find(',')));
      if (!item.empty())
        if (auto longName = SwitchName(item.front())) result.Keys.insert(*longName);
      const std::size_t comma = list.find(',');
      list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return result;
  }
  if (name.size() >= 2 && (name[0] == 'A' || name[0] == 'Z') &&
      name.find_first_not_of("0123456789", 1) == std::string::npos) {
    result.Keys.insert(name[0] == 'A' ? "ALIGN" : "MINENUMSIZE");
    return result;
  }
  const std::string longName = ParameterName(name);
  // The first word of the parameter tells these apart.
  const std::string firstWord =
      UpperAscii(std::string(rest.substr(0, std::min(rest.size(), rest.find_first_of(" \t")))));
  if (longName == "DEFINE" || longName == "UNDEF")
    result.Keys.insert("DEFINE " + firstWord);
  else if (longName == "WARN" || longName == "RESOURCE" || longName == "INCLUDE" || longName == "LINK")
    result.Keys.insert(longName + " " + firstWord);
  else
    result.Keys.insert(longName);
  return result;
}

// A directive comment of the package: where it stands and what it sets.
struct TFoundDirective {
  std::size_t Begin = 0, End = 0;  // the whole comment, braces included
  std::size_t Line = 0;
  TDirectiveKeys Keys;
  bool IsResource = false;  // {$R file}
};

struct TLine {
  std::size_t Begin = 0, End = 0;  // without its line end
  std::size_t Next = 0;            // where the next line begins
  bool EndsInComment = false;      // a comment runs on past this line's end
};

struct TScan {
  std::vector<TLine> Lines;
  std::vector<TFoundDirective> Directives;
  std::optional<std::size_t> ClauseLine;  // the line of the package clause's ';'
};

// Reads the package as Pascal: comments ({ }, (* *), //), strings and the
// words and symbols between them, with every line's extent.
TScan Scan(std::string_view text) {
  TScan scan;
  enum class TState { Code, Brace, Paren, LineComment, Text } state = TState::Code;
  std::size_t commentBegin = 0;
  bool sawPackage = false, clauseDone = false, firstWord = true;
  std::size_t lineBegin = 0;
  auto endLine = [&](std::size_t end, std::size_t next) {
    scan.Lines.push_back({lineBegin, end, next, state == TState::Brace || state == TState::Paren});
    lineBegin = next;
  };
  auto closeComment = [&](std::size_t end) {
    // A directive: "{$" or "(*$" opening the comment.
    const std::size_t open = text[commentBegin] == '{' ? 1 : 2;
    const std::size_t close = text[commentBegin] == '{' ? 1 : 2;
    if (commentBegin + open < text.size() && text[commentBegin + open] == '$') {
      TFoundDirective found;
      found.Begin = commentBegin;
      found.End = end;
      found.Line = scan.Lines.size();
      const std::string_view body = text.substr(commentBegin + open + 1, end - close - (commentBegin + open + 1));
      found.Keys = KeysOf(body);
      found.IsResource = std::any_of(found.Keys.Keys.begin(), found.Keys.Keys.end(),
                                     [](const std::string& key) { return key.rfind("RESOURCE ", 0) == 0; });
      // Only a directive within one line can be rewritten in place.
      const bool oneLine =
          text.substr(commentBegin, end - commentBegin).find_first_of("\r\n") == std::string_view::npos;
      if (oneLine) scan.Directives.push_back(found);
    }
    state = TState::Code;
  };

  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      const std::size_t next = (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? i + 2 : i + 1;
      if (state == TState::LineComment || state == TState::Text) state = TState::Code;
      endLine(i, next);
      i = next;
      continue;
    }
    switch (state) {
      case TState::Brace:
        if (c == '}') closeComment(i + 1);
        ++i;
        break;
      case TState::Paren:
        if (c == '*' && i + 1 < text.size() && text[i + 1] == ')') {
          closeComment(i + 2);
          i += 2;
        } else {
          ++i;
        }
        break;
      case TState::LineComment:
        ++i;
        break;
      case TState::Text:
        if (c == '\'') state = TState::Code;  // '' reopens it at once
        ++i;
        break;
      case TState::Code:
        if (c == '{') {
          state = TState::Brace;
          commentBegin = i++;
        } else if (c == '(' && i + 1 < text.size() && text[i + 1] == '*') {
          state = TState::Paren;
          commentBegin = i;
          i += 2;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
          state = TState::LineComment;
          i += 2;
        } else if (c == '\'') {
          state = TState::Text;
          ++i;
        } else if (IsIdentifierStart(c)) {
          std::size_t end = i;
          while (end < text.size() && IsIdentifierChar(text[end])) ++end;
          if (firstWord) sawPackage = UpperAscii(std::string(text.substr(i, end - i))) == "PACKAGE";
          firstWord = false;
          i = end;
        } else {
          if (c == ';' && sawPackage && !clauseDone) {
            clauseDone = true;
            scan.ClauseLine = scan.Lines.size();
          }
          if (!IsBlank(c)) firstWord = false;
          ++i;
        }
        break;
    }
  }
  if (lineBegin < text.size() || scan.Lines.empty()) endLine(text.size(), text.size());
  return scan;
}

// A line of the setting as a directive: the text to write (in braces) and the
// body between "$" and the closing brace. Nothing for a line that is none.
struct TGivenDirective {
  std::string Text;
  std::string Body;
};

std::optional<TGivenDirective> ReadGiven(std::string_view line) {
  const std::string_view t = Trim(line);
  // One comment, closed where the line ends and nowhere before.
  if (t.size() >= 3 && t.substr(0, 2) == "{$" && t.find('}') == t.size() - 1)
    return TGivenDirective{std::string(t), std::string(t.substr(2, t.size() - 3))};
  if (t.size() >= 5 && t.substr(0, 3) == "(*$" && t.find("*)", 3) == t.size() - 2)
    return TGivenDirective{std::string(t), std::string(t.substr(3, t.size() - 5))};
  if (t.size() >= 2 && t.front() == '$' && t.find_first_of("{}") == std::string_view::npos)
    return TGivenDirective{"{" + std::string(t) + "}", std::string(t.substr(1))};
  return std::nullopt;
}

bool IsBlankRange(std::string_view text) {
  return std::all_of(text.begin(), text.end(), IsBlank);
}

}  // namespace

TPackageMerge MergeDirectivesIntoPackage(std::string_view package, const std::vector<std::string>& directives) {
  TPackageMerge merge;
  const TScan scan = Scan(package);
  if (!scan.ClauseLine) throw TError("no package clause (\"package Name;\") found");

  struct TEdit {
    std::size_t Begin, End;
    std::string Text;
  };
  std::vector<TEdit> edits;
  std::vector<std::string> inserted;
  for (const std::string& line : directives) {
    if (Trim(line).empty()) continue;
    const auto given = ReadGiven(line);
    if (!given) {
      merge.Notes.push_back("not a compiler directive, passed over: " + line);
      continue;
    }
    const TDirectiveKeys keys = KeysOf(given->Body);
    if (keys.Conditional || keys.Keys.empty()) {
      merge.Notes.push_back("a conditional or unnamed directive is not merged: " + line);
      continue;
    }
    const auto found = std::find_if(scan.Directives.begin(), scan.Directives.end(), [&](const TFoundDirective& d) {
      return std::any_of(keys.Keys.begin(), keys.Keys.end(),
                         [&](const std::string& k) { return d.Keys.Keys.count(k); });
    });
    if (found == scan.Directives.end()) {
      inserted.push_back(given->Text);
      continue;
    }
    // A list of switches sets more than this one: the package's own stays.
    if (found->Keys.Keys.size() > 1 || keys.Keys.size() > 1) continue;
    const auto same = std::find_if(edits.begin(), edits.end(), [&](const TEdit& e) { return e.Begin == found->Begin; });
    if (same != edits.end())
      same->Text = given->Text;
    else
      edits.push_back({found->Begin, found->End, given->Text});
  }

  // After the clause, blank lines and the {$R ...} lines that follow it.
  std::size_t insertLine = *scan.ClauseLine + 1;
  for (std::size_t i = insertLine; i < scan.Lines.size(); ++i) {
    const TLine& l = scan.Lines[i];
    const std::string_view content = package.substr(l.Begin, l.End - l.Begin);
    if (IsBlankRange(content)) continue;
    // Only resource directives and blanks on the line.
    std::size_t at = l.Begin;
    bool onlyResources = true;
    for (const TFoundDirective& d : scan.Directives) {
      if (d.Line != i) continue;
      if (!d.IsResource || !IsBlankRange(package.substr(at, d.Begin - at))) {
        onlyResources = false;
        break;
      }
      at = d.End;
    }
    if (!onlyResources || at == l.Begin || !IsBlankRange(package.substr(at, l.End - at))) break;
    insertLine = i + 1;
  }
  // Never where a comment goes on.
  while (insertLine < scan.Lines.size() && insertLine > 0 && scan.Lines[insertLine - 1].EndsInComment) ++insertLine;
  if (!inserted.empty() && insertLine > 0 && scan.Lines[insertLine - 1].EndsInComment) {
    for (const std::string& text : inserted)
      merge.Notes.push_back("not inserted, a comment after the package clause does not end: " + text);
    inserted.clear();
  }

  std::string lineEnd = "\r\n";
  const TLine& clause = scan.Lines[*scan.ClauseLine];
  if (clause.Next > clause.End) lineEnd = std::string(package.substr(clause.End, clause.Next - clause.End));
  std::string block;
  // Each goes in front of the one inserted before it.
  for (auto it = inserted.rbegin(); it != inserted.rend(); ++it) block += *it + lineEnd;
  std::size_t insertAt = package.size();
  if (insertLine < scan.Lines.size()) {
    insertAt = scan.Lines[insertLine].Begin;
  } else if (!block.empty() && !scan.Lines.empty() && scan.Lines.back().Next == scan.Lines.back().End &&
             scan.Lines.back().End > scan.Lines.back().Begin) {
    block = lineEnd + block;  // the last line had no line end of its own
  }
  if (!block.empty()) edits.push_back({insertAt, insertAt, block});

  std::sort(edits.begin(), edits.end(),
            [](const TEdit& a, const TEdit& b) { return a.Begin != b.Begin ? a.Begin < b.Begin : a.End < b.End; });
  std::size_t from = 0;
  for (const TEdit& e : edits) {
    merge.Text.append(package.substr(from, e.Begin - from));
    merge.Text += e.Text;
    from = e.End;
  }
  merge.Text.append(package.substr(from));
  return merge;
}
