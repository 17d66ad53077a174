#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text files are bytes: lines split at CR, LF or CR LF on reading, CR LF after
// every line on writing. No transcoding.
namespace platform {

using TStringList = std::vector<std::string>;

// Splits like a string list's text: "a\r\nb" and "a\r\nb\r\n" both give {a, b};
// "" gives {}; "\r\n" gives {""}.
TStringList SplitLines(std::string_view text);
// Every line followed by CR LF.
std::string JoinLines(const TStringList& lines);
// A text split and joined again: CR LF after every line (a non-empty result
// always ends in CR LF).
std::string NormalizeLineEnds(std::string_view text);

// The largest file read as text or profile data; bigger ones are refused with
// a clear message rather than read into memory.
inline constexpr std::uint64_t MaxTextFileSize = 256ull * 1024 * 1024;

// Reads a file as lines. Throws TOSError when it cannot be read ("Cannot open
// file "<name>". <reason>"), TError when it is larger than MaxTextFileSize.
TStringList ReadTextLines(const std::string& fileName);
// Reads a whole file as bytes, with the same limits.
std::string ReadFileBytes(const std::string& fileName, std::uint64_t maxSize = MaxTextFileSize);
// Writes lines with CR LF after each, replacing the file. The new content is
// written beside the file and renamed over it, so a failure never leaves a
// truncated file where a complete one stood. A read-only file is not replaced
// (fails as on Windows). Throws TOSError ("Cannot create file "<name>".
// <reason>"). The name resolves like every other, so an existing file keeps
// the letter case of its name.
void WriteTextLines(const std::string& fileName, const TStringList& lines);
void WriteFileBytes(const std::string& fileName, std::string_view bytes);
// Adds bytes to the end of a file (creating it when missing). What the file
// held stays as it was; a failed append is cut off again. A read-only file is
// refused like a write. Throws TOSError.
void AppendFileBytes(const std::string& fileName, std::string_view bytes);

}  // namespace platform
