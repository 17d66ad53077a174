#pragma once

#include <string>
#include <string_view>

// Letter case and trimming the way the system compares names: only the ASCII
// letters have a case; any other byte compares as it is.
namespace platform {

inline char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string LowerAscii(std::string_view s) {
  std::string result(s);
  for (char& c : result) c = LowerAscii(c);
  return result;
}

inline std::string UpperAscii(std::string_view s) {
  std::string result(s);
  for (char& c : result) c = UpperAscii(c);
  return result;
}

inline bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// Only blanks and control characters (bytes up to the blank), or nothing.
inline bool AllBlank(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) > ' ') return false;
  return true;
}

// Without the blanks and control characters (bytes up to the blank) at either end.
inline std::string_view TrimControlsView(std::string_view s) {
  std::size_t begin = 0, end = s.size();
  while (begin < end && static_cast<unsigned char>(s[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
  return s.substr(begin, end - begin);
}
inline std::string TrimControls(std::string_view s) {
  return std::string(TrimControlsView(s));
}

}  // namespace platform
