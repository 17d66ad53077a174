#include "dcc32/FindFile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace tesmar_tools {

namespace {

#ifdef _WIN32
constexpr char Separator = '\\';
bool IsSeparator(char ch) {
  return ch == '\\' || ch == '/';
}
#else
constexpr char Separator = '/';
bool IsSeparator(char ch) {
  return ch == '/';
}
#endif

bool SameNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch; };
           return lower(x) == lower(y);
         });
}

enum class TWant { File, Directory };

bool IsKind(const std::string& path, TWant want) {
  std::error_code error;
  return want == TWant::File ? fs::is_regular_file(path, error) : fs::is_directory(path, error);
}

// One component below an existing directory, in the spelling it is stored
// in: exact, else the first case-blind match. Windows finds any spelling
// itself, so there the directory is read first; what it does not list (a
// short 8.3 alias) is still found as given.
std::string FindEntry(const std::string& dir, const std::string& name, TWant want) {
  std::string exact = JoinPath(dir, name);
#ifndef _WIN32
  if (IsKind(exact, want)) return exact;
#endif
  std::error_code error;
  std::vector<std::string> matches;
  for (fs::directory_iterator it(dir.empty() ? "." : dir, error), end; !error && it != end; it.increment(error)) {
    std::string entry = it->path().filename().string();
    if (SameNoCase(entry, name) && IsKind(JoinPath(dir, entry), want)) matches.push_back(entry);
  }
  if (!matches.empty()) return JoinPath(dir, *std::min_element(matches.begin(), matches.end()));
#ifdef _WIN32
  if (IsKind(exact, want)) return exact;
#endif
  return "";
}

std::string Find(const std::string& dir, const std::string& relativeName, TWant want) {
  std::string name = NativeSeparators(relativeName);
  std::string exact = JoinPath(dir, name);
#ifdef _WIN32
  // Drive paths resolve exactly or not at all.
  if (name.size() >= 2 && name[1] == ':') return IsKind(exact, want) ? exact : "";
#else
  if (IsKind(exact, want)) return exact;
#endif

  std::string current = dir;
  size_t start = 0;
  // An absolute name starts from its root.
  if (!name.empty() && IsSeparator(name[0])) {
    current = std::string(1, Separator);
    start = 1;
  }
  while (start < name.size()) {
    size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    std::string part = name.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    bool last = end >= name.size();
    if (part == "..") {
      current = JoinPath(current, part);
      if (last) return IsKind(current, want) ? current : "";
      continue;
    }
    current = FindEntry(current, part, last ? want : TWant::Directory);
    if (current.empty()) return "";
  }
  if (current.empty()) return IsKind(exact, want) ? exact : "";  // "." and the like
  return IsKind(current, want) ? current : "";
}

}  // namespace

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty() || name.empty()) return dir.empty() ? name : dir;
  if (IsSeparator(name[0])) return name;  // already absolute
#ifdef _WIN32
  if (name.size() >= 2 && name[1] == ':') return name;
#endif
  if (IsSeparator(dir.back())) return dir + name;
  return dir + Separator + name;
}

std::string DirectoryOf(const std::string& path) {
  size_t at = path.size();
  while (at > 0 && !IsSeparator(path[at - 1])) --at;
  if (at == 0) return "";
  if (at == 1) return path.substr(0, 1);  // the root
  return path.substr(0, at - 1);
}

std::string FileNameOf(const std::string& path) {
  size_t at = path.size();
  while (at > 0 && !IsSeparator(path[at - 1])) --at;
  return path.substr(at);
}

std::string BaseNameOf(const std::string& path) {
  std::string name = FileNameOf(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string ExtensionOf(const std::string& path) {
  std::string name = FileNameOf(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
}

std::string NativeSeparators(std::string path) {
  std::replace(path.begin(), path.end(), Separator == '/' ? '\\' : '/', Separator);
  return path;
}

std::string FindFileNoCase(const std::string& dir, const std::string& relativeName) {
  if (relativeName.empty()) return "";
  return Find(dir, relativeName, TWant::File);
}

std::string FindDirNoCase(const std::string& path) {
  if (path.empty()) return "";
  return Find("", path, TWant::Directory);
}

}  // namespace tesmar_tools
