#include "dialogs/uQtText.h"

#include <QFontMetrics>
#include <array>

#include "project/uGlobalConstants.h"

namespace {

// 0x80..0x9F of Windows-1252; the rest of the upper half is Latin-1. The five
// holes of the code page (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// controls, as Windows itself maps them, so every byte survives a round trip.
constexpr std::array<char16_t, 32> Cp1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The upper half of code page 437.
constexpr std::array<char16_t, 128> Cp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

int Cp1252Byte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (std::size_t i = 0; i < Cp1252High.size(); ++i)
    if (Cp1252High[i] == c) return static_cast<int>(0x80 + i);
  return -1;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  const std::size_t n = bytes.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t extra;
    char32_t min;
    char32_t cp;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, min = 0x80, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, min = 0x800, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000, cp = b & 0x07;
    } else {
      return false;
    }
    if (n - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(bytes[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

QString DecodeText(std::string_view bytes, TTextEncoding* used) {
  if (IsValidUtf8(bytes)) {
    if (used) *used = TTextEncoding::Utf8;
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  if (used) *used = TTextEncoding::Windows1252;
  return DecodeText(bytes, TTextEncoding::Windows1252);
}

QString DecodeText(std::string_view bytes, TTextEncoding encoding) {
  if (encoding == TTextEncoding::Utf8) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    *out++ = QChar(b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : char16_t(b));
  }
  return text;
}

QString DecodeTextFile(std::string_view bytes, TTextEncoding* used) {
  std::string lines;
  lines.reserve(bytes.size());
  std::size_t from = 0;
  while (from < bytes.size()) {
    const std::size_t cr = bytes.find('\r', from);
    if (cr == std::string_view::npos) {
      lines.append(bytes.substr(from));
      break;
    }
    lines.append(bytes.substr(from, cr - from));
    lines.push_back('\n');
    from = cr + 1;
    if (from < bytes.size() && bytes[from] == '\n') ++from;
  }
  if (!lines.empty() && lines.back() == '\n') lines.pop_back();
  return DecodeText(lines, used);
}

bool CanEncode(const QString& text, TTextEncoding encoding) {
  if (encoding == TTextEncoding::Utf8) return true;
  for (const QChar c : text)
    if (Cp1252Byte(c.unicode()) < 0) return false;
  return true;
}

std::string EncodeText(const QString& text, TTextEncoding encoding) {
  if (encoding == TTextEncoding::Utf8) return text.toUtf8().toStdString();
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (const QChar c : text) {
    const int b = Cp1252Byte(c.unicode());
    bytes.push_back(static_cast<char>(b < 0 ? '?' : b));
  }
  return bytes;
}

QString DecodeCodePage437(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text.append(QChar(b < 0x80 ? char16_t(b) : Cp437High[b - 0x80]));
  }
  return text;
}

QString ShortPath(const QString& path, int width, const QFontMetrics& metrics) {
  const TTextWidthFunc measure = [&](const std::string& s) {
    return metrics.horizontalAdvance(QString::fromStdString(s));
  };
  return ToQ(GlobalStuff().ShortenPath(FromQ(path), width, measure));
}

QString ScreenText(const std::string& text) {
  QString shown = ToQ(text);
  shown.replace("\r\n", "\n");
  return shown;
}
