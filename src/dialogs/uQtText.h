#pragma once

#include <QString>
#include <string>
#include <string_view>

class QFontMetrics;

// Text of the core (bytes) on screen and back. Files hold bytes in no stated
// encoding: what is valid UTF-8 is shown as UTF-8, anything else as
// Windows-1252, the code page Delphi sources and settings were written in.
enum class TTextEncoding { Utf8, Windows1252 };

bool IsValidUtf8(std::string_view bytes);
// Bytes as text, and the encoding they were taken in.
QString DecodeText(std::string_view bytes, TTextEncoding* used = nullptr);
// Bytes as text in a given encoding (invalid UTF-8 is replaced).
QString DecodeText(std::string_view bytes, TTextEncoding encoding);
// Text as bytes in an encoding. Characters that Windows-1252 cannot hold are
// written as '?'; CanEncode tells beforehand.
std::string EncodeText(const QString& text, TTextEncoding encoding);
bool CanEncode(const QString& text, TTextEncoding encoding);
// A text file's bytes as the lines a memo shows: CR LF, CR and LF all end a
// line, and the line end after the last line is not a further, empty line.
QString DecodeTextFile(std::string_view bytes, TTextEncoding* used = nullptr);
// The DOS code page 437, in which console programs print.
QString DecodeCodePage437(std::string_view bytes);

// Short forms for names and messages of the core.
inline QString ToQ(const std::string& text) {
  return DecodeText(text);
}
inline std::string FromQ(const QString& text) {
  return text.toUtf8().toStdString();
}

// A message of the core as a box or a label shows it: CR LF line ends become
// the line breaks of the screen.
QString ScreenText(const std::string& text);

// A path shortened with "..." to a pixel width, measured with a font.
QString ShortPath(const QString& path, int width, const QFontMetrics& metrics);
