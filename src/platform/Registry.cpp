#include "platform/Registry.h"

#include <optional>

#include "platform/AsciiText.h"

// The reader of Wine's registry files (user.reg, system.reg). The format:
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to \\Machine
//   #arch=win32
//
//   [Software\\Borland\\Delphi\\5.0] 1700000000
//   #time=1d9c0a2b3c4d5e6
//   "RootDir"="C:\\Program Files\\Borland\\Delphi5"
//   @="default value"
//   "Flags"=dword:0000001f
//   "Data"=hex:01,02,03,\   (a '\' at the end of a line continues
//     04,05                  the bytes on the next one)
//   "Path"=str(2):"%SystemRoot%\\system32"
//   "List"=str(7):"one\0two\0"
//   "Other"=hex(2):25,00,53,00,00,00
//
// Inside quotes, backslash escapes: \\ \" \[ \] (any other character stands
// for itself), the C letters \a \b \e \f \n \r \t \v, \xNNNN (up to four hex
// digits, one UTF-16 code unit) and \NNN (up to three octal digits). Text is
// kept as UTF-8; surrogate pairs written as two \x escapes are joined.
namespace platform {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Turns UTF-16 code units into UTF-8, joining surrogate pairs; a lone
// surrogate becomes U+FFFD.
class TUtf16Writer {
 public:
  explicit TUtf16Writer(std::string& out) : Out(out) {}
  void Unit(std::uint32_t u) {
    if (High != 0) {
      if (u >= 0xDC00 && u <= 0xDFFF) {
        AppendUtf8(Out, 0x10000 + ((High - 0xD800) << 10) + (u - 0xDC00));
        High = 0;
        return;
      }
      Flush();
    }
    if (u >= 0xD800 && u <= 0xDBFF)
      High = u;
    else if (u >= 0xDC00 && u <= 0xDFFF)
      AppendUtf8(Out, 0xFFFD);
    else
      AppendUtf8(Out, u);
  }
  // A byte that stands for itself (the file's own UTF-8).
  void Byte(char c) {
    Flush();
    Out += c;
  }
  void Flush() {
    if (High != 0) AppendUtf8(Out, 0xFFFD);
    High = 0;
  }

 private:
  std::string& Out;
  std::uint32_t High = 0;
};

// Reads an escaped text from line[pos] up to the unescaped terminator; pos is
// left after the terminator. nullopt when the terminator is missing.
std::optional<std::string> ParseEscaped(std::string_view line, std::size_t& pos, char terminator) {
  std::string out;
  TUtf16Writer writer(out);
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == terminator) {
      writer.Flush();
      return out;
    }
    if (c != '\\') {
      writer.Byte(c);
      continue;
    }
    if (pos >= line.size()) return std::nullopt;
    char e = line[pos++];
    switch (e) {
      case 'a':
        writer.Unit(0x07);
        break;
      case 'b':
        writer.Unit(0x08);
        break;
      case 'e':
        writer.Unit(0x1B);
        break;
      case 'f':
        writer.Unit(0x0C);
        break;
      case 'n':
        writer.Unit(0x0A);
        break;
      case 'r':
        writer.Unit(0x0D);
        break;
      case 't':
        writer.Unit(0x09);
        break;
      case 'v':
        writer.Unit(0x0B);
        break;
      case 'x': {
        std::uint32_t u = 0;
        int digits = 0;
        while (digits < 4 && pos < line.size() && HexDigit(line[pos]) >= 0) {
          u = u * 16 + static_cast<std::uint32_t>(HexDigit(line[pos++]));
          ++digits;
        }
        if (digits == 0)
          writer.Byte('x');
        else
          writer.Unit(u);
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          std::uint32_t u = static_cast<std::uint32_t>(e - '0');
          for (int digits = 1; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits)
            u = u * 8 + static_cast<std::uint32_t>(line[pos++] - '0');
          writer.Unit(u);
        } else {
          writer.Byte(e);
        }
    }
  }
  return std::nullopt;
}

// UTF-16LE bytes as UTF-8; an odd last byte is dropped.
std::string DecodeUtf16(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  TUtf16Writer writer(out);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    writer.Unit(static_cast<std::uint32_t>(bytes[i] | (bytes[i + 1] << 8)));
  writer.Flush();
  return out;
}

std::optional<std::uint32_t> ParseHexNumber(std::string_view s, std::size_t& pos, int maxDigits) {
  std::uint32_t n = 0;
  int digits = 0;
  while (digits < maxDigits && pos < s.size() && HexDigit(s[pos]) >= 0) {
    n = n * 16 + static_cast<std::uint32_t>(HexDigit(s[pos++]));
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return n;
}

bool RestIsBlank(std::string_view s, std::size_t pos) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
  return pos == s.size();
}

bool StartsWith(std::string_view s, std::size_t pos, std::string_view prefix) {
  return s.size() - pos >= prefix.size() && s.substr(pos, prefix.size()) == prefix;
}

class TParser {
 public:
  explicit TParser(std::string_view text) : Text(text) {}

  bool NextLine(std::string_view& line) {
    if (Pos >= Text.size()) return false;
    std::size_t end = Text.find('\n', Pos);
    if (end == std::string_view::npos) end = Text.size();
    line = Text.substr(Pos, end - Pos);
    Pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
  }

  // A value's data from line[pos]; reads continuation lines of hex data.
  std::optional<TRegValue> ParseData(std::string_view line, std::size_t pos) {
    TRegValue value;
    if (pos < line.size() && line[pos] == '"') {
      ++pos;
      auto text = ParseEscaped(line, pos, '"');
      if (!text) return std::nullopt;
      value.Type = TRegValueType::String;
      value.Text = std::move(*text);
      return value;
    }
    if (StartsWith(line, pos, "str(")) {
      pos += 4;
      auto type = ParseHexNumber(line, pos, 8);
      if (!type || !StartsWith(line, pos, "):\"")) return std::nullopt;
      pos += 3;
      auto text = ParseEscaped(line, pos, '"');
      if (!text) return std::nullopt;
      value.Type = *type == 2   ? TRegValueType::ExpandString
                   : *type == 7 ? TRegValueType::MultiString
                   : *type == 1 ? TRegValueType::String
                                : TRegValueType::Other;
      value.Text = std::move(*text);
      return value;
    }
    if (StartsWith(line, pos, "dword:")) {
      pos += 6;
      auto n = ParseHexNumber(line, pos, 8);
      if (!n || !RestIsBlank(line, pos)) return std::nullopt;
      value.Type = TRegValueType::DWord;
      value.Number = *n;
      return value;
    }
    std::uint32_t type = 3;  // REG_BINARY
    if (StartsWith(line, pos, "hex:")) {
      pos += 4;
    } else if (StartsWith(line, pos, "hex(")) {
      pos += 4;
      auto n = ParseHexNumber(line, pos, 8);
      if (!n || !StartsWith(line, pos, "):")) return std::nullopt;
      type = *n;
      pos += 2;
    } else {
      return std::nullopt;
    }
    if (!ParseHexBytes(line, pos, value.Bytes)) return std::nullopt;
    switch (type) {
      case 1:
      case 2:
      case 7:
        value.Type = type == 1   ? TRegValueType::String
                     : type == 2 ? TRegValueType::ExpandString
                                 : TRegValueType::MultiString;
        value.Text = DecodeUtf16(value.Bytes);
        break;
      case 3:
        value.Type = TRegValueType::Binary;
        break;
      case 4:
        value.Type = value.Bytes.size() == 4 ? TRegValueType::DWord : TRegValueType::Other;
        if (value.Bytes.size() == 4)
          value.Number = static_cast<std::uint32_t>(value.Bytes[0]) | (value.Bytes[1] << 8) | (value.Bytes[2] << 16) |
                         (static_cast<std::uint32_t>(value.Bytes[3]) << 24);
        break;
      default:
        value.Type = TRegValueType::Other;
    }
    return value;
  }

 private:
  // "01,02,\" lines: two-digit hex bytes separated by commas; a line ending
  // in '\' continues on the next one.
  bool ParseHexBytes(std::string_view line, std::size_t pos, std::vector<std::uint8_t>& bytes) {
    for (;;) {
      while (pos < line.size() && IsBlank(line[pos])) ++pos;
      if (pos >= line.size()) return true;
      if (line[pos] == '\\') {
        if (!RestIsBlank(line, pos + 1)) return false;
        if (!NextLine(line)) return true;
        pos = 0;
        continue;
      }
      auto byte = ParseHexNumber(line, pos, 2);
      if (!byte) return false;
      bytes.push_back(static_cast<std::uint8_t>(*byte));
      while (pos < line.size() && IsBlank(line[pos])) ++pos;
      if (pos < line.size()) {
        if (line[pos] == ',')
          ++pos;
        else if (line[pos] != '\\')
          return false;
      }
    }
  }

  std::string_view Text;
  std::size_t Pos = 0;
};

}  // namespace

std::string RegistryKeyName(std::string_view keyPath) {
  while (!keyPath.empty() && keyPath.front() == '\\') keyPath.remove_prefix(1);
  while (!keyPath.empty() && keyPath.back() == '\\') keyPath.remove_suffix(1);
  return LowerAscii(keyPath);
}

TWineRegistry TWineRegistry::Parse(std::string_view text) {
  TWineRegistry result;
  TParser parser(text);
  std::string_view line;
  if (!parser.NextLine(line)) return result;
  result.Header = line == "WINE REGISTRY Version 2";
  std::map<std::string, TRegValue>* key = nullptr;
  while (parser.NextLine(line)) {
    std::size_t pos = 0;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] == ';') continue;
    if (line[pos] == '#') {
      if (StartsWith(line, pos, "#arch=")) result.Architecture = std::string(line.substr(pos + 6));
      continue;
    }
    if (line[pos] == '[') {
      ++pos;
      auto name = ParseEscaped(line, pos, ']');
      key = name ? &result.Keys[RegistryKeyName(*name)] : nullptr;
      continue;
    }
    std::optional<std::string> name;
    if (line[pos] == '@') {
      name = std::string();
      ++pos;
    } else if (line[pos] == '"') {
      ++pos;
      name = ParseEscaped(line, pos, '"');
    }
    if (!name) continue;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') continue;
    ++pos;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    // The data is parsed even without a key, so its continuation lines are
    // not mistaken for lines of their own.
    auto value = parser.ParseData(line, pos);
    if (value && key) (*key)[LowerAscii(*name)] = std::move(*value);
  }
  return result;
}

const std::map<std::string, TRegValue>* TWineRegistry::FindKey(const std::string& keyPath) const {
  auto it = Keys.find(RegistryKeyName(keyPath));
  return it == Keys.end() ? nullptr : &it->second;
}

}  // namespace platform
