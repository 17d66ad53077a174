#include "platform/ProfileFile.h"

#include <climits>
#include <cstring>
#include <unordered_set>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"

namespace platform {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = Lower(c);
  return r;
}

enum class TLineKind { Other, Section, Key };

// One line as the reader sees it; the views point into the line itself.
struct TLine {
  TLineKind Kind = TLineKind::Other;
  std::string_view Name;   // section or key name, trimmed
  std::string_view Value;  // key value, trimmed, quotes kept
};

TLine Classify(std::string_view line) {
  TLine r;
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';') return r;
  if (t.front() == '[') {
    std::size_t close = t.find(']');
    if (close != std::string_view::npos) {
      r.Kind = TLineKind::Section;
      r.Name = Trim(t.substr(1, close - 1));
    }
    return r;
  }
  std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return r;
  r.Name = Trim(t.substr(0, eq));
  if (r.Name.empty()) return r;
  r.Kind = TLineKind::Key;
  r.Value = Trim(t.substr(eq + 1));
  return r;
}

std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return std::string(v);
}

bool HasLineBreak(std::string_view s) {
  return s.find_first_of("\r\n") != std::string_view::npos;
}

bool ValidSectionName(std::string_view s) {
  return !HasLineBreak(s) && s.find(']') == std::string_view::npos;
}

bool ValidKeyName(std::string_view s) {
  return !s.empty() && !HasLineBreak(s) && s.find('=') == std::string_view::npos && s.front() != ';' &&
         s.front() != '[';
}

bool ParseInteger(std::string_view s, int& out) {
  s = Trim(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  long long value = 0;
  if (s.front() == '$' || (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))) {
    s.remove_prefix(s.front() == '$' ? 1 : 2);
    if (s.empty() || s.size() > 8) return false;
    unsigned long long u = 0;
    for (char c : s) {
      int d = c >= '0' && c <= '9' ? c - '0' : Lower(c) >= 'a' && Lower(c) <= 'f' ? Lower(c) - 'a' + 10 : -1;
      if (d < 0) return false;
      u = u * 16 + static_cast<unsigned>(d);
    }
    // Eight hex digits are a 32-bit pattern: $FFFFFFFF is -1.
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(u));
  } else {
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
      if (value > static_cast<long long>(INT_MAX) + 1) return false;
    }
  }
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return false;
  out = static_cast<int>(value);
  return true;
}

}  // namespace

struct TProfileFile::TData {
  TStringList Lines;
  bool Modified = false;

  // Calls f(index, parsed line) for every key line of the section, in order.
  template <typename F>
  void ForEachKey(std::string_view section, F f) const {
    bool inSection = false;
    for (std::size_t i = 0; i < Lines.size(); ++i) {
      TLine l = Classify(Lines[i]);
      if (l.Kind == TLineKind::Section)
        inSection = SameText(l.Name, section);
      else if (inSection && l.Kind == TLineKind::Key && !f(i, l))
        return;
    }
  }

  // Index of the first line of the key, or npos.
  std::size_t FindKey(std::string_view section, std::string_view key) const {
    std::size_t found = std::string::npos;
    ForEachKey(section, [&](std::size_t i, const TLine& l) {
      if (!SameText(l.Name, key)) return true;
      found = i;
      return false;
    });
    return found;
  }
};

TProfileFile::TProfileFile(std::string fileName) : TProfileFile(std::move(fileName), MaxTextFileSize) {}

TProfileFile::TProfileFile(std::string fileName, std::uint64_t maxSize)
    : Name(std::move(fileName)), Data(std::make_unique<TData>()) {
  if (!FileExists(Name)) return;
  std::string bytes = ReadFileBytes(Name, maxSize);
  // Text never holds NUL bytes; such a file is something else and must not be
  // taken for settings (nor written back mangled).
  if (bytes.find('\0') != std::string::npos)
    throw TError("The file \"" + Name + "\" is not a text file: it holds binary data.");
  Data->Lines = SplitLines(bytes);
}

TProfileFile::TProfileFile(std::string fileName, std::string_view text, TFromText)
    : Name(std::move(fileName)), Data(std::make_unique<TData>()) {
  Data->Lines = SplitLines(text);
}

std::unique_ptr<TProfileFile> TProfileFile::FromText(std::string fileName, std::string_view text) {
  return std::unique_ptr<TProfileFile>(new TProfileFile(std::move(fileName), text, TFromText{}));
}

TProfileFile::~TProfileFile() = default;

std::string TProfileFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
  std::size_t i = Data->FindKey(Trim(section), Trim(key));
  if (i == std::string::npos) return def;
  return Unquote(Classify(Data->Lines[i]).Value);
}

int TProfileFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
  std::size_t i = Data->FindKey(Trim(section), Trim(key));
  int value = def;
  if (i == std::string::npos || !ParseInteger(Unquote(Classify(Data->Lines[i]).Value), value)) return def;
  return value;
}

bool TProfileFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TProfileFile::SectionExists(const std::string& section) const {
  std::string_view name = Trim(section);
  for (const auto& line : Data->Lines) {
    TLine l = Classify(line);
    if (l.Kind == TLineKind::Section && SameText(l.Name, name)) return true;
  }
  return false;
}

bool TProfileFile::ValueExists(const std::string& section, const std::string& key) const {
  return Data->FindKey(Trim(section), Trim(key)) != std::string::npos;
}

std::vector<std::string> TProfileFile::ReadSections() const {
  std::vector<std::string> result;
  std::unordered_set<std::string> seen;
  for (const auto& line : Data->Lines) {
    TLine l = Classify(line);
    if (l.Kind == TLineKind::Section && seen.insert(LowerCase(l.Name)).second) result.emplace_back(l.Name);
  }
  return result;
}

std::vector<std::string> TProfileFile::ReadSection(const std::string& section) const {
  std::vector<std::string> result;
  for (auto& [key, value] : ReadSectionValues(section)) result.push_back(std::move(key));
  return result;
}

std::vector<std::pair<std::string, std::string>> TProfileFile::ReadSectionValues(const std::string& section) const {
  std::vector<std::pair<std::string, std::string>> result;
  std::unordered_set<std::string> seen;
  Data->ForEachKey(Trim(section), [&](std::size_t, const TLine& l) {
    if (seen.insert(LowerCase(l.Name)).second) result.emplace_back(std::string(l.Name), Unquote(l.Value));
    return true;
  });
  return result;
}

void TProfileFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  std::string_view sec = Trim(section);
  std::string_view k = Trim(key);
  if (!ValidSectionName(sec) || !ValidKeyName(k)) return;
  std::string_view v = value;
  v = v.substr(0, v.find_first_of("\r\n"));
  TStringList& lines = Data->Lines;

  std::size_t at = Data->FindKey(sec, k);
  if (at != std::string::npos) {
    // The key keeps the spelling it has in the file.
    std::string line = std::string(Classify(lines[at]).Name) + "=" + std::string(v);
    if (lines[at] != line) {
      lines[at] = std::move(line);
      Data->Modified = true;
    }
    return;
  }

  std::string line = std::string(k) + "=" + std::string(v);
  // After the last line of the section's last occurrence that is neither blank
  // nor a comment, so that blank lines and a comment heading the next section
  // stay where they are.
  std::size_t insertAfter = std::string::npos;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    TLine l = Classify(lines[i]);
    if (l.Kind == TLineKind::Section) {
      inSection = SameText(l.Name, sec);
      if (inSection) insertAfter = i;
    } else if (inSection) {
      std::string_view t = Trim(lines[i]);
      if (!t.empty() && t.front() != ';') insertAfter = i;
    }
  }
  if (insertAfter == std::string::npos) {
    lines.push_back("[" + std::string(sec) + "]");
    lines.push_back(std::move(line));
  } else {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAfter) + 1, std::move(line));
  }
  Data->Modified = true;
}

void TProfileFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TProfileFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TProfileFile::DeleteKey(const std::string& section, const std::string& key) {
  std::string_view sec = Trim(section);
  std::string_view k = Trim(key);
  TStringList& lines = Data->Lines;
  TStringList kept;
  kept.reserve(lines.size());
  bool inSection = false;
  for (auto& line : lines) {
    TLine l = Classify(line);
    if (l.Kind == TLineKind::Section) inSection = SameText(l.Name, sec);
    if (inSection && l.Kind == TLineKind::Key && SameText(l.Name, k)) continue;
    kept.push_back(std::move(line));
  }
  if (kept.size() != lines.size()) Data->Modified = true;
  lines = std::move(kept);
}

void TProfileFile::EraseSection(const std::string& section) {
  std::string_view sec = Trim(section);
  TStringList& lines = Data->Lines;
  TStringList kept;
  kept.reserve(lines.size());
  bool inSection = false;
  for (auto& line : lines) {
    TLine l = Classify(line);
    if (l.Kind == TLineKind::Section) inSection = SameText(l.Name, sec);
    if (!inSection) kept.push_back(std::move(line));
  }
  if (kept.size() != lines.size()) Data->Modified = true;
  lines = std::move(kept);
}

void TProfileFile::UpdateFile() {
  if (!Data->Modified) return;
  try {
    WriteTextLines(Name, Data->Lines);
  } catch (const TOSError& e) {
    throw TError("Unable to write to " + Name + ": " + SystemErrorText(e.Code));
  }
  Data->Modified = false;
}

bool TProfileFile::Modified() const {
  return Data->Modified;
}

}  // namespace platform
