#include "platform/ProfileFile.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"

namespace platform {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
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

std::string_view Unquoted(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return v;
}

std::string Unquote(std::string_view v) {
  return std::string(Unquoted(v));
}

// Where the first CR or LF stands. (find_first_of looks each character up in
// the set with a call of its own, which a save of a large project notices.)
std::size_t LineBreakAt(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (s[i] == '\r' || s[i] == '\n') return i;
  return std::string_view::npos;
}

bool HasLineBreak(std::string_view s) {
  return LineBreakAt(s) != std::string_view::npos;
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
      int d = c >= '0' && c <= '9'                           ? c - '0'
              : LowerAscii(c) >= 'a' && LowerAscii(c) <= 'f' ? LowerAscii(c) - 'a' + 10
                                                             : -1;
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

// The file is kept as blocks: the lines before the first section, then one
// block per section line with the lines under it. An index from the lower-cased
// section name to its blocks keeps every lookup independent of the file's
// size, so a project file with a thousand sections reads as fast as a small one.
struct TProfileFile::TData {
  struct TBlock {
    bool HasHeader = false;
    std::string Header;  // the section line as it stands in the file
    std::string Key;     // lower-cased section name
    TStringList Lines;
    // Built when first needed, so that a section of a thousand keys is not
    // read through for every key looked up or added: the line of the first
    // key of each (lower-cased) name, and where a new key goes.
    mutable std::optional<std::unordered_map<std::string, std::size_t>> KeyLines;
    mutable std::optional<std::size_t> ContentEnd;
    void LinesMoved() {
      KeyLines.reset();
      ContentEnd.reset();
    }
    const std::unordered_map<std::string, std::size_t>& Keys() const {
      if (!KeyLines) {
        KeyLines.emplace();
        for (std::size_t i = 0; i < Lines.size(); ++i) {
          TLine l = Classify(Lines[i]);
          if (l.Kind == TLineKind::Key) KeyLines->emplace(LowerAscii(l.Name), i);
        }
      }
      return *KeyLines;
    }
    // After the last line that is neither blank nor a comment.
    std::size_t EndOfContent() const {
      if (!ContentEnd) {
        ContentEnd = 0;
        for (std::size_t i = 0; i < Lines.size(); ++i) {
          std::string_view t = Trim(Lines[i]);
          if (!t.empty() && t.front() != ';') ContentEnd = i + 1;
        }
      }
      return *ContentEnd;
    }
  };
  std::vector<TBlock> Blocks{TBlock{}};
  std::unordered_map<std::string, std::vector<std::size_t>> Index;
  bool Modified = false;
  // What the file on disk holds: the first DiskBlocks blocks, unchanged since
  // they were read or written, and whether it may simply be added to.
  std::size_t DiskBlocks = 0;
  bool Appendable = false;
  std::size_t FirstChanged = 0;
  // The file starts with a UTF-8 byte-order mark, which is no part of its
  // first line and is written back as it was.
  bool ByteOrderMark = false;

  void Load(std::string_view text) {
    ByteOrderMark = text.starts_with(Utf8ByteOrderMark);
    if (ByteOrderMark) text.remove_prefix(Utf8ByteOrderMark.size());
    // The section lines found first, so that each block is made once with
    // room for all its lines: a project file has a thousand small sections.
    const std::vector<std::string_view> lines = SplitLineViews(text);
    std::vector<std::pair<std::size_t, std::string_view>> headers;  // line, section name
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (const TLine l = Classify(lines[i]); l.Kind == TLineKind::Section) headers.emplace_back(i, l.Name);
    Blocks.clear();
    Blocks.reserve(headers.size() + 1);
    auto addLines = [&lines](TBlock& block, std::size_t from, std::size_t to) {
      block.Lines.reserve(to - from);
      for (std::size_t i = from; i < to; ++i) block.Lines.emplace_back(lines[i]);
    };
    addLines(Blocks.emplace_back(), 0, headers.empty() ? lines.size() : headers.front().first);
    for (std::size_t h = 0; h < headers.size(); ++h) {
      TBlock& block = Blocks.emplace_back();
      block.HasHeader = true;
      block.Key = LowerAscii(headers[h].second);
      block.Header = lines[headers[h].first];
      addLines(block, headers[h].first + 1, h + 1 < headers.size() ? headers[h + 1].first : lines.size());
    }
    Reindex();
    FirstChanged = Blocks.size();
  }

  void Reindex() {
    Index.clear();
    Index.reserve(Blocks.size());
    for (std::size_t b = 1; b < Blocks.size(); ++b) Index[Blocks[b].Key].push_back(b);
  }

  void Changed(std::size_t block) {
    Modified = true;
    FirstChanged = std::min(FirstChanged, block);
  }

  const std::vector<std::size_t>* BlocksOf(std::string_view section) const {
    // Lower-cased in a buffer of the thread's own: a load looks up every
    // entry's section once for each of its keys.
    thread_local std::string lowered;
    lowered.assign(section);
    for (char& c : lowered) c = LowerAscii(c);
    auto it = Index.find(lowered);
    return it == Index.end() ? nullptr : &it->second;
  }

  // Calls f(block, line index, parsed line) for every key line of the section,
  // in file order, until f returns false.
  template <typename F>
  void ForEachKey(std::string_view section, F f) const {
    const auto* blocks = BlocksOf(section);
    if (!blocks) return;
    for (std::size_t b : *blocks) {
      const TStringList& lines = Blocks[b].Lines;
      for (std::size_t i = 0; i < lines.size(); ++i) {
        TLine l = Classify(lines[i]);
        if (l.Kind == TLineKind::Key && !f(b, i, l)) return;
      }
    }
  }

  // Block and line of the first line of the key; found false when none.
  struct TFound {
    bool Found = false;
    std::size_t Block = 0, Line = 0;
  };
  TFound FindKey(std::string_view section, std::string_view key) const {
    const auto* blocks = BlocksOf(section);
    return blocks ? FindKeyIn(*blocks, key) : TFound{};
  }
  TFound FindKeyIn(const std::vector<std::size_t>& blocks, std::string_view key) const {
    std::string wanted;
    for (std::size_t b : blocks) {
      const TBlock& block = Blocks[b];
      // A short section is read through: a map of its keys would cost more
      // to build, and to keep in memory for each of a thousand sections.
      if (!block.KeyLines && block.Lines.size() <= ShortSection) {
        for (std::size_t i = 0; i < block.Lines.size(); ++i) {
          const TLine l = Classify(block.Lines[i]);
          if (l.Kind == TLineKind::Key && SameTextAscii(l.Name, key)) return TFound{true, b, i};
        }
        continue;
      }
      if (wanted.empty()) wanted = LowerAscii(key);
      const auto& keys = block.Keys();
      auto it = keys.find(wanted);
      if (it != keys.end()) return TFound{true, b, it->second};
    }
    return {};
  }
  static constexpr std::size_t ShortSection = 24;

  std::string Text(std::size_t fromBlock) const {
    // Measured first and appended in place: a large file's text is made for
    // every save, and should cost one allocation, not one a line.
    const std::string_view mark = fromBlock == 0 && ByteOrderMark ? Utf8ByteOrderMark : std::string_view();
    std::size_t size = mark.size();
    for (std::size_t b = fromBlock; b < Blocks.size(); ++b) {
      if (Blocks[b].HasHeader) size += Blocks[b].Header.size() + 2;
      for (const std::string& line : Blocks[b].Lines) size += line.size() + 2;
    }
    std::string text;
    text.reserve(size);
    text.append(mark);
    for (std::size_t b = fromBlock; b < Blocks.size(); ++b) {
      if (Blocks[b].HasHeader) text.append(Blocks[b].Header).append("\r\n");
      for (const std::string& line : Blocks[b].Lines) text.append(line).append("\r\n");
    }
    return text;
  }
};

namespace {

// Whether text that ends with every line break a CR LF may be added to as it
// stands: the rewrite would give the same bytes.
bool AllCrLf(std::string_view bytes) {
  if (bytes.empty()) return true;
  if (bytes.size() < 2 || bytes.substr(bytes.size() - 2) != "\r\n") return false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')) return false;
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) return false;
  }
  return true;
}

}  // namespace

TProfileFile::TProfileFile(std::string fileName) : TProfileFile(std::move(fileName), MaxTextFileSize) {}

TProfileFile::TProfileFile(std::string fileName, std::uint64_t maxSize)
    : Name(std::move(fileName)), Data(std::make_unique<TData>()) {
  if (!FileExists(Name)) {
    Data->Appendable = true;  // nothing there yet: the first write creates it
    Data->DiskBlocks = 0;
    Data->FirstChanged = Data->Blocks.size();
    return;
  }
  std::string bytes = ReadFileBytes(Name, maxSize);
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
    throw TError("The file \"" + Name + "\" is UTF-16 text, which is not read: save it as ANSI or UTF-8 text.");
  // Text never holds NUL bytes; such a file is something else and must not be
  // taken for settings (nor written back mangled).
  if (bytes.find('\0') != std::string::npos)
    throw TError("The file \"" + Name + "\" is not a text file: it holds binary data.");
  Data->Load(bytes);
  Data->Appendable = AllCrLf(bytes);
  Data->DiskBlocks = Data->Blocks.size();
}

TProfileFile::TProfileFile(std::string fileName, std::string_view text, TFromText)
    : Name(std::move(fileName)), Data(std::make_unique<TData>()) {
  Data->Load(text);
  Data->Appendable = false;  // no file behind the text: the first write writes it whole
}

std::unique_ptr<TProfileFile> TProfileFile::FromText(std::string fileName, std::string_view text) {
  return std::unique_ptr<TProfileFile>(new TProfileFile(std::move(fileName), text, TFromText{}));
}

TProfileFile::~TProfileFile() = default;

std::string TProfileFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
  auto f = Data->FindKey(Trim(section), Trim(key));
  if (!f.Found) return def;
  return Unquote(Classify(Data->Blocks[f.Block].Lines[f.Line]).Value);
}

bool TProfileFile::ReadStringTo(const std::string& section, const std::string& key, std::string& value) const {
  auto f = Data->FindKey(Trim(section), Trim(key));
  if (f.Found) value.assign(Unquoted(Classify(Data->Blocks[f.Block].Lines[f.Line]).Value));
  return f.Found;
}

int TProfileFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
  auto f = Data->FindKey(Trim(section), Trim(key));
  int value = def;
  if (!f.Found || !ParseInteger(Unquote(Classify(Data->Blocks[f.Block].Lines[f.Line]).Value), value)) return def;
  return value;
}

bool TProfileFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TProfileFile::SectionExists(const std::string& section) const {
  return Data->BlocksOf(Trim(section)) != nullptr;
}

bool TProfileFile::ValueExists(const std::string& section, const std::string& key) const {
  return Data->FindKey(Trim(section), Trim(key)).Found;
}

std::vector<std::string> TProfileFile::ReadSections() const {
  std::vector<std::string> result;
  std::unordered_set<std::string> seen;
  for (std::size_t b = 1; b < Data->Blocks.size(); ++b)
    if (seen.insert(Data->Blocks[b].Key).second) result.emplace_back(Classify(Data->Blocks[b].Header).Name);
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
  Data->ForEachKey(Trim(section), [&](std::size_t, std::size_t, const TLine& l) {
    if (seen.insert(LowerAscii(l.Name)).second) result.emplace_back(std::string(l.Name), Unquote(l.Value));
    return true;
  });
  return result;
}

void TProfileFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  std::string_view sec = Trim(section);
  std::string_view k = Trim(key);
  if (!ValidSectionName(sec) || !ValidKeyName(k)) return;
  std::string_view v = value;
  v = v.substr(0, LineBreakAt(v));

  const auto keyLine = [v](std::string_view name) {
    std::string line;
    line.reserve(name.size() + 1 + v.size());
    line.append(name).append("=").append(v);
    return line;
  };
  const auto* blocks = Data->BlocksOf(sec);
  if (const auto found = blocks ? Data->FindKeyIn(*blocks, k) : TData::TFound{}; found.Found) {
    // The key keeps the spelling it has in the file.
    std::string& at = Data->Blocks[found.Block].Lines[found.Line];
    std::string line = keyLine(Classify(at).Name);
    if (at != line) {
      at = std::move(line);
      Data->Changed(found.Block);
    }
    return;
  }

  std::string line = keyLine(k);
  if (!blocks) {
    TData::TBlock block;
    block.HasHeader = true;
    block.Header.append("[").append(sec).append("]");
    block.Key = LowerAscii(sec);
    block.Lines.push_back(std::move(line));
    Data->Blocks.push_back(std::move(block));
    Data->Index[Data->Blocks.back().Key].push_back(Data->Blocks.size() - 1);
    Data->Changed(Data->Blocks.size() - 1);
    return;
  }
  // After the last line of the section's last occurrence that is neither blank
  // nor a comment, so that blank lines and a comment heading the next section
  // stay where they are.
  const std::size_t b = blocks->back();
  TData::TBlock& block = Data->Blocks[b];
  const std::size_t insertAt = block.EndOfContent();
  const bool atTheEnd = insertAt == block.Lines.size();
  block.Lines.insert(block.Lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
  if (atTheEnd) {
    // Nothing moved: the key is the last line, and new keys go after it.
    if (block.KeyLines) block.KeyLines->emplace(LowerAscii(k), insertAt);
    block.ContentEnd = insertAt + 1;
  } else {
    block.LinesMoved();
  }
  Data->Changed(b);
}

void TProfileFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TProfileFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TProfileFile::DeleteKey(const std::string& section, const std::string& key) {
  std::string_view k = Trim(key);
  const auto* blocks = Data->BlocksOf(Trim(section));
  if (!blocks) return;
  for (std::size_t b : *blocks) {
    TStringList& lines = Data->Blocks[b].Lines;
    const std::size_t before = lines.size();
    std::erase_if(lines, [&](const std::string& line) {
      TLine l = Classify(line);
      return l.Kind == TLineKind::Key && SameTextAscii(l.Name, k);
    });
    if (lines.size() != before) {
      Data->Blocks[b].LinesMoved();
      Data->Changed(b);
    }
  }
}

void TProfileFile::EraseSection(const std::string& section) {
  const auto* found = Data->BlocksOf(Trim(section));
  if (!found) return;
  const std::vector<std::size_t> blocks = *found;
  for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
    Data->Blocks.erase(Data->Blocks.begin() + static_cast<std::ptrdiff_t>(*it));
  Data->Reindex();
  Data->Changed(blocks.front());
}

void TProfileFile::UpdateFile() {
  if (!Data->Modified) return;
  try {
    // Sections only added at the end of a file that is as it was read or last
    // written: add them to it rather than writing the whole file again.
    if (Data->Appendable && Data->FirstChanged >= Data->DiskBlocks && Data->DiskBlocks > 0)
      AppendFileBytes(Name, Data->Text(Data->DiskBlocks));
    else
      WriteFileBytes(Name, Data->Text(0));
  } catch (const TOSError& e) {
    throw TError("Unable to write to " + Name + ": " + SystemErrorText(e.Code));
  }
  Data->Modified = false;
  Data->Appendable = true;
  Data->DiskBlocks = Data->Blocks.size();
  Data->FirstChanged = Data->Blocks.size();
}

std::string TProfileFile::Text() const {
  return Data->Text(0);
}

bool TProfileFile::Modified() const {
  return Data->Modified;
}

}  // namespace platform
