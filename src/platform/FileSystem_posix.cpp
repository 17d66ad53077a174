#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

namespace platform {

namespace {

// The entry of dir whose name equals name without regard to (ASCII) case.
// Should a case-sensitive file system hold several such entries, the one
// first in byte order wins, so the choice never depends on directory order.
bool ScanEntryIgnoringCase(const std::string& dir, const std::string& name, std::string& found) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  bool any = false;
  while (const dirent* e = readdir(d)) {
    if (!SameTextAscii(name, e->d_name)) continue;
    if (!any || found > e->d_name) found = e->d_name;
    any = true;
  }
  closedir(d);
  return any;
}

// Listings kept while a TDirectoryListingScope lives: lower-cased name to
// the entry chosen for it.
int ListingScopes = 0;
std::map<std::string, std::map<std::string, std::string>>& Listings() {
  static std::map<std::string, std::map<std::string, std::string>> listings;
  return listings;
}

// The spellings that projects made on Windows most often differ by: the
// extension or the whole name in the other letter case (App.res for App.RES).
// Looking for these first spares reading a large directory.
bool ProbeCommonSpellings(const std::string& dir, const std::string& name, std::string& found) {
  const auto dot = name.rfind('.');
  auto upper = [](const std::string& s) { return UpperAscii(s); };
  auto lower = [](const std::string& s) { return LowerAscii(s); };
  std::vector<std::string> candidates;
  if (dot != std::string::npos && dot > 0) {
    candidates.push_back(name.substr(0, dot) + upper(name.substr(dot)));
    candidates.push_back(name.substr(0, dot) + lower(name.substr(dot)));
  }
  candidates.push_back(upper(name));
  candidates.push_back(lower(name));
  struct stat st;
  for (const std::string& candidate : candidates) {
    if (candidate == name) continue;
    if (::lstat((dir + candidate).c_str(), &st) == 0) {
      found = candidate;
      return true;
    }
  }
  return false;
}

// Kept listings are filed under the directory's absolute name, so that
// "." and the same directory named in full share one.
std::string ListingKey(const std::string& dir) {
  if (!dir.empty() && dir.front() == '/') return dir.back() == '/' ? dir : dir + "/";
  char buffer[4096];
  std::string cwd = ::getcwd(buffer, sizeof buffer) ? buffer : "";
  if (cwd.empty() || cwd.back() != '/') cwd += '/';
  return dir.empty() ? cwd : cwd + (dir.back() == '/' ? dir : dir + "/");
}

// The kept listing of a directory, read now when there is none yet. Only
// while a TDirectoryListingScope lives.
const std::map<std::string, std::string>& KeptListing(const std::string& dir) {
  auto& listings = Listings();
  const std::string key = ListingKey(dir);
  auto it = listings.find(key);
  if (it == listings.end()) {
    std::map<std::string, std::string> entries;
    if (DIR* d = opendir(dir.empty() ? "." : dir.c_str())) {
      while (const dirent* e = readdir(d)) {
        auto [at, added] = entries.emplace(LowerAscii(e->d_name), e->d_name);
        if (!added && at->second > e->d_name) at->second = e->d_name;
      }
      closedir(d);
    }
    it = listings.emplace(key, std::move(entries)).first;
  }
  return it->second;
}

bool FindEntryIgnoringCase(const std::string& dir, const std::string& name, std::string& found) {
  if (ProbeCommonSpellings(dir, name, found)) return true;
  if (ListingScopes == 0) return ScanEntryIgnoringCase(dir, name, found);
  const auto& listing = KeptListing(dir);
  auto entry = listing.find(LowerAscii(name));
  if (entry == listing.end()) return false;
  found = entry->second;
  return true;
}

bool Stat(const std::string& path, struct stat& st) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  return ::stat(path.c_str(), &st) == 0;
}

// A component with the dots at its end dropped, unless it is made of dots only.
std::string DropTrailingDots(const std::string& name) {
  std::size_t end = name.size();
  while (end > 0 && name[end - 1] == '.') --end;
  return end == 0 ? name : name.substr(0, end);
}

[[noreturn]] void ThrowOS(const std::string& what, int code) {
  throw TOSError(what + ": " + SystemErrorText(code), code);
}

}  // namespace

TDirectoryListingScope::TDirectoryListingScope() {
  ++ListingScopes;
}

TDirectoryListingScope::~TDirectoryListingScope() {
  if (--ListingScopes == 0) Listings().clear();
}

void ForgetDirectoryListings() {
  Listings().clear();
}

void NoteDirectoryEntry(const std::string& resolvedPath, bool exists) {
  if (ListingScopes == 0) return;
  const auto slash = resolvedPath.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : resolvedPath.substr(0, slash + 1);
  const std::string name = resolvedPath.substr(slash == std::string::npos ? 0 : slash + 1);
  auto it = Listings().find(ListingKey(dir));
  if (it == Listings().end()) return;
  const std::string key = LowerAscii(name);
  if (exists) {
    auto [at, added] = it->second.emplace(key, name);
    if (!added && at->second > name) at->second = name;
  } else if (::access(resolvedPath.c_str(), F_OK) != 0) {
    // Another spelling of the name may still be there: read the directory again.
    Listings().erase(it);
  }
}

std::string ResolvePath(const std::string& path) {
  if (path.empty()) return path;
  // The usual case: the name exists as written and no component ends in a
  // dot. One look settles it.
  bool trailingDot = false;
  for (std::size_t i = 0; i < path.size(); ++i)
    if (path[i] == '.' && (i + 1 == path.size() || path[i + 1] == '/')) trailingDot = true;
  struct stat exact;
  if (!trailingDot && ::lstat(path.c_str(), &exact) == 0) return path;
  std::string result;
  std::size_t i = 0;
  while (i < path.size() && path[i] == '/') result += path[i++];
  bool resolving = true;  // every component so far exists
  while (i < path.size()) {
    std::size_t end = path.find('/', i);
    if (end == std::string::npos) end = path.size();
    std::string name = DropTrailingDots(path.substr(i, end - i));
    if (resolving) {
      struct stat st;
      std::string found;
      if (::lstat((result + name).c_str(), &st) == 0) {
        result += name;
      } else if (FindEntryIgnoringCase(result, name, found)) {
        result += found;
      } else {
        result += name;
        resolving = false;
      }
    } else {
      result += name;
    }
    // Keep the separators as written (a doubled one or a trailing one too).
    while (end < path.size() && path[end] == '/') result += path[end++];
    i = end;
  }
  return result;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return Stat(ResolvePath(path), st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return Stat(ResolvePath(path), st) && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st;
  return Stat(ResolvePath(path), st);
}

bool IsReadOnly(const std::string& path) {
  struct stat st;
  return Stat(ResolvePath(path), st) && (st.st_mode & S_IWUSR) == 0;
}

void ClearAttributes(const std::string& path) {
  SetReadOnly(path, false);
}

void SetReadOnly(const std::string& path, bool readOnly) {
  std::string real = ResolvePath(path);
  struct stat st;
  if (!Stat(real, st)) ThrowOS("Cannot set attributes of " + path, errno);
  mode_t mode = st.st_mode & 07777;
  // Read-only takes every write bit away, as nobody may write such a file.
  mode = readOnly ? (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) : (mode | S_IWUSR);
  if (::chmod(real.c_str(), mode) != 0) ThrowOS("Cannot set attributes of " + path, errno);
}

std::time_t LastWriteTime(const std::string& path) {
  struct stat st;
  if (!Stat(ResolvePath(path), st)) ThrowOS("Cannot read the time of " + path, errno);
  return st.st_mtime;
}

std::uint64_t FileSize(const std::string& path) {
  struct stat st;
  if (!Stat(ResolvePath(path), st)) ThrowOS("Cannot open file \"" + path + "\"", errno);
  if (S_ISDIR(st.st_mode)) ThrowOS("Cannot open file \"" + path + "\"", EISDIR);
  return static_cast<std::uint64_t>(st.st_size);
}

std::vector<std::string> DirectoryEntriesStartingWith(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  if (ListingScopes > 0) {
    // A kept listing holds one spelling per name without regard to case;
    // names that differ in case alone are rare enough to read the directory.
    const auto& listing = KeptListing(dir);
    const std::string lower = LowerAscii(prefix);
    bool clash = false;
    for (auto it = listing.lower_bound(lower); it != listing.end() && it->first.starts_with(lower); ++it) {
      if (it->second.starts_with(prefix)) names.push_back(it->second);
      clash = clash || !it->second.starts_with(prefix);
    }
    if (!clash) return names;
    names.clear();
  }
  if (DIR* d = opendir(dir.empty() ? "." : dir.c_str())) {
    while (const dirent* e = readdir(d))
      if (std::string_view(e->d_name).starts_with(prefix)) names.emplace_back(e->d_name);
    closedir(d);
  }
  return names;
}

std::FILE* OpenRegularFileForReading(const std::string& resolvedName, const std::string& what) {
  // Opened without waiting, so that a FIFO without a writer does not hold the
  // program; a regular file then reads as usual.
  int fd;
  do {
    fd = ::open(resolvedName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw TOSError(what + ". " + SystemErrorText(errno), errno);
  struct stat st;
  const int code = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (code != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (code != 0) throw TOSError(what + ". " + SystemErrorText(code), code);
    throw TError(what + ". It is not a regular file (a pipe, a device or a socket).");
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    const int code = errno;
    ::close(fd);
    throw TOSError(what + ". " + SystemErrorText(code), code);
  }
  return f;
}

void RenameFile(const std::string& from, const std::string& to) {
  std::string source = ResolvePath(from);
  std::string target = ResolvePath(to);
  struct stat src, dst;
  if (!Stat(source, src)) ThrowOS("Cannot rename " + from + " to " + to, errno);
  if (::lstat(target.c_str(), &dst) == 0) {
    // Only a change of letter case may "replace" the file itself.
    if (src.st_dev != dst.st_dev || src.st_ino != dst.st_ino) ThrowOS("Cannot rename " + from + " to " + to, EEXIST);
    target = ApplyTrailingDotRule(to);
  }
  if (::rename(source.c_str(), target.c_str()) != 0) ThrowOS("Cannot rename " + from + " to " + to, errno);
  NoteDirectoryEntry(source, false);
  NoteDirectoryEntry(target, true);
}

bool DeleteFile(const std::string& path) {
  std::string real = ResolvePath(path);
  struct stat st;
  if (!Stat(real, st) || S_ISDIR(st.st_mode)) return false;
  // Windows refuses to delete a read-only file.
  if ((st.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return false;
  }
  if (::unlink(real.c_str()) != 0) return false;
  NoteDirectoryEntry(real, false);
  return true;
}

void ForceDirectories(const std::string& path) {
  ForgetDirectoryListings();
  if (path.empty()) throw TOSError("Unable to create directory", ENOENT);
  std::string real = ResolvePath(path);
  std::error_code ec;
  std::filesystem::create_directories(real, ec);
  if (ec) ThrowOS("Unable to create directory " + path, ec.value());
  struct stat st;
  if (!Stat(real, st) || !S_ISDIR(st.st_mode)) ThrowOS("Unable to create directory " + path, ENOTDIR);
}

std::string GetCurrentDir() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  return ec ? std::string() : p.string();
}

void SetCurrentDir(const std::string& path) {
  std::string real = ResolvePath(path);
  if (real.empty() || ::chdir(real.c_str()) != 0)
    ThrowOS("Cannot change directory to " + path, real.empty() ? ENOENT : errno);
}

std::string ProgramFile() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

std::string ProgramDir() {
  return ExtractFileDir(ProgramFile());
}

std::string UserConfigDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/tesmar";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/tesmar";
}

std::string InstalledDataDir() {
  return InstalledDataDirOf(ProgramDir());
}

std::string InstalledDataDirOf(const std::string& programDir) {
  if (programDir.empty() || ExtractFileName(programDir) != "bin") return std::string();
  const std::string data = ExtractFileDir(programDir) + "/share/tesmar";
  struct stat st;
  return Stat(data, st) && S_ISDIR(st.st_mode) ? data : std::string();
}

bool IsDirectoryWritable(const std::string& dir) {
  std::string real = ResolvePath(dir);
  struct stat st;
  return Stat(real, st) && S_ISDIR(st.st_mode) && ::access(real.c_str(), W_OK | X_OK) == 0;
}

std::string ShortPathName(const std::string& path) {
  return path;
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) return path;
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

std::string ExpandUNCFileName(const std::string& path) {
  return ExpandFileName(path);
}

}  // namespace platform
