#include "platform/FileSystem.h"

#include <algorithm>
#include <chrono>
#include <utility>

// Name helpers that behave the same on every system; the system calls live in
// FileSystem_posix.cpp and FileSystem_win32.cpp.
namespace platform {

namespace {

#ifdef _WIN32
// A drive letter's colon ends a directory part too ("C:a.txt").
bool IsNameDelim(char c) {
  return c == '\\' || c == '/' || c == ':';
}
#else
bool IsNameDelim(char c) {
  return c == '/';
}
#endif

// Index of the last separator, or npos.
std::size_t LastDelim(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsNameDelim(path[i - 1])) return i - 1;
  return std::string::npos;
}

// Index of the dot that starts the extension of the last component, or npos.
std::size_t ExtensionDot(const std::string& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    char c = path[i - 1];
    if (c == '.') return i - 1;
    if (IsNameDelim(c)) break;
  }
  return std::string::npos;
}

}  // namespace

bool IdentityWasSettled(const TFileIdentity& identity, long long atSec, long long atNsec) {
  if (!identity.Exists) return false;
  // The later of the two times, against 'at' less the settling time, both as
  // (seconds, nanoseconds) so that no sum can overflow.
  const std::pair<long long, long long> last =
      std::max(std::pair{identity.MTimeSec, identity.MTimeNsec}, std::pair{identity.CTimeSec, identity.CTimeNsec});
  constexpr long long SettlingSeconds = 2;
  return last < std::pair{atSec - SettlingSeconds, atNsec};
}

bool IdentityIsSettled(const TFileIdentity& identity) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now);
  return IdentityWasSettled(identity, seconds.count(),
                            std::chrono::duration_cast<std::chrono::nanoseconds>(now - seconds).count());
}

#ifdef _WIN32
bool IsPathDelim(char c) {
  return c == '\\' || c == '/';
}
#else
bool IsPathDelim(char c) {
  return c == '/';
}
#endif

std::string ApplyTrailingDotRule(const std::string& path) {
  std::size_t start = LastDelim(path);
  start = start == std::string::npos ? 0 : start + 1;
  std::size_t end = path.size();
  while (end > start && path[end - 1] == '.') --end;
  // "." and ".." (and a name made of dots only) are not names with a dot.
  if (end == start) return path;
  return path.substr(0, end);
}

std::string ExtractFileName(const std::string& path) {
  std::size_t i = LastDelim(path);
  return i == std::string::npos ? path : path.substr(i + 1);
}

std::string ExtractFilePath(const std::string& path) {
  std::size_t i = LastDelim(path);
  return i == std::string::npos ? std::string() : path.substr(0, i + 1);
}

std::string ExtractFileDir(const std::string& path) {
  std::size_t i = LastDelim(path);
  if (i == std::string::npos) return std::string();
  // "/a/b.txt" -> "/a", but a root keeps its separator ("/b.txt" -> "/",
  // "C:\b.txt" -> "C:\").
  if (i > 0 && IsPathDelim(path[i]) && !IsNameDelim(path[i - 1])) return path.substr(0, i);
  return path.substr(0, i + 1);
}

std::string ExtractFileExt(const std::string& path) {
  std::size_t i = ExtensionDot(path);
  return i == std::string::npos ? std::string() : path.substr(i);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  std::size_t i = ExtensionDot(path);
  return (i == std::string::npos ? path : path.substr(0, i)) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && IsPathDelim(path.back())) return path;
  return path + PathDelim;
}

// The id the holder wrote, without its line end.
std::string TFileLock::Holder() const {
  std::string text;
  try {
    text = ReadRegularFile(Name, Name, 64);
  } catch (const std::exception&) {
    return "";
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace platform
