#define WIN32_LEAN_AND_MEAN
#include <sys/stat.h>
#include <windows.h>
#include <winnetwk.h>
// <windows.h> maps DeleteFile to DeleteFileA; ours is a function of its own.
#undef DeleteFile

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/AsciiText.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#ifdef _MSC_VER
#pragma comment(lib, "mpr")
#endif

// Windows itself finds names without regard to case and drops a trailing dot,
// so most of this is a thin layer over the ANSI file functions.
namespace platform {

namespace {

[[noreturn]] void ThrowOS(const std::string& what, DWORD code) {
  throw TOSError(what + ": " + SystemErrorText(static_cast<int>(code)), static_cast<int>(code));
}

DWORD Attributes(const std::string& path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesA(path.c_str());
}

}  // namespace

// Windows finds a name whatever its letter case and drops the dots at the end
// of a component itself. What is looked up here is the spelling of the
// entries that exist, so that a file that is replaced (written beside and
// renamed over) keeps its name, and one file has one name in the program.
std::string ResolvePath(const std::string& path) {
  if (path.empty()) return path;
  // Device and long-name forms ("\\.\", "\\?\") are taken as they are.
  if (path.size() >= 4 && IsPathDelim(path[0]) && IsPathDelim(path[1]) && (path[2] == '?' || path[2] == '.') &&
      IsPathDelim(path[3]))
    return path;
  std::string result;
  std::size_t i = 0;
  auto nextDelim = [&path](std::size_t from) {
    while (from < path.size() && !IsPathDelim(path[from])) ++from;
    return from;
  };
  // The root stays as written: a drive ("C:"), or a server and share.
  if (path.size() >= 2 && path[1] == ':') {
    i = 2;
  } else if (path.size() >= 2 && IsPathDelim(path[0]) && IsPathDelim(path[1])) {
    const std::size_t server = nextDelim(2);
    i = server < path.size() ? nextDelim(server + 1) : server;
  }
  result = path.substr(0, i);
  while (i < path.size() && IsPathDelim(path[i])) result += path[i++];
  bool resolving = true;  // every component so far exists
  while (i < path.size()) {
    const std::size_t end = nextDelim(i);
    std::string name = ApplyTrailingDotRule(path.substr(i, end - i));
    if (resolving && name != "." && name != ".." && name.find_first_of("*?") == std::string::npos) {
      WIN32_FIND_DATAA found;
      const HANDLE search = FindFirstFileA((result + name).c_str(), &found);
      if (search == INVALID_HANDLE_VALUE) {
        resolving = false;
      } else {
        FindClose(search);
        // A short (8.3) name that was given is a spelling of its own.
        const bool shortNameGiven =
            SameTextAscii(name, found.cAlternateFileName) && !SameTextAscii(name, found.cFileName);
        if (!shortNameGiven) name = found.cFileName;
      }
    }
    result += name;
    // Keep the separators as written (a doubled one or a trailing one too).
    i = end;
    while (i < path.size() && IsPathDelim(path[i])) result += path[i++];
  }
  return result;
}

namespace {

TFileIdentity IdentityOf(const struct _stat64& st) {
  TFileIdentity id;
  id.Exists = true;
  id.Device = static_cast<unsigned long long>(st.st_dev);
  id.Inode = static_cast<unsigned long long>(st.st_ino);
  id.Size = static_cast<unsigned long long>(st.st_size);
  id.MTimeSec = st.st_mtime;
  id.CTimeSec = st.st_ctime;
  return id;
}

}  // namespace

TFileIdentity FileIdentity(const std::string& resolvedPath) {
  struct _stat64 st;
  if (resolvedPath.empty() || _stat64(resolvedPath.c_str(), &st) != 0) return {};
  return IdentityOf(st);
}

TFileState FileState(const std::string& path) {
  TFileState state;
  struct _stat64 st;
  // Windows finds the name whatever its letter case: nothing to resolve.
  if (path.empty() || _stat64(path.c_str(), &st) != 0) return state;
  state.IsFile = (st.st_mode & _S_IFDIR) == 0;
  // The run-time library gives a file with the read-only attribute no write
  // permission.
  state.ReadOnly = (st.st_mode & _S_IWRITE) == 0;
  state.Identity = IdentityOf(st);
  return state;
}

namespace {

// The volume and index of the file a name leads to; false when none.
bool FileIndexOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool got = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  return got;
}

}  // namespace

TFileLock::TFileLock(std::string fileName) : Name(std::move(fileName)) {}

TFileLock::~TFileLock() {
  Unlock();
}

bool TFileLock::TryLock() {
  if (Handle) return true;
  HANDLE h = CreateFileA(Name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) ThrowOS("Cannot open the lock " + Name, GetLastError());
  // A lock on one byte far beyond the holder's id, so that the id can be read.
  OVERLAPPED at{};
  at.OffsetHigh = 1;
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD code = GetLastError();
    CloseHandle(h);
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return false;
    ThrowOS("Cannot lock " + Name, code);
  }
  const std::string pid = std::to_string(GetCurrentProcessId()) + "\r\n";
  DWORD written = 0;
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  WriteFile(h, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
  Handle = h;
  return true;
}

void TFileLock::Unlock() {
  if (!Handle) return;
  HANDLE h = static_cast<HANDLE>(Handle);
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);  // drops the lock
  Handle = nullptr;
}

std::string FollowLinks(const std::string& resolvedPath) {
  return resolvedPath;
}

bool IsDanglingLink(const std::string&) {
  return false;
}

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  const bool ea = !a.empty() && FileIndexOf(a, ia), eb = !b.empty() && FileIndexOf(b, ib);
  if (ea && eb)
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
  if (ea || eb) return false;
  return SameTextAscii(ExpandFileName(ApplyTrailingDotRule(a)), ExpandFileName(ApplyTrailingDotRule(b)));
}

bool IsSpecialFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(h);
  CloseHandle(h);
  return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

bool FileExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::string& path) {
  return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsReadOnly(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) != 0;
}

void ClearAttributes(const std::string& path) {
  if (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL))
    ThrowOS("Cannot set attributes of " + path, GetLastError());
}

void SetReadOnly(const std::string& path, bool readOnly) {
  DWORD a = Attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES) ThrowOS("Cannot set attributes of " + path, GetLastError());
  a = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~DWORD(FILE_ATTRIBUTE_READONLY));
  if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileAttributesA(path.c_str(), a)) ThrowOS("Cannot set attributes of " + path, GetLastError());
}

std::time_t LastWriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    ThrowOS("Cannot read the time of " + path, GetLastError());
  ULARGE_INTEGER t;
  t.LowPart = data.ftLastWriteTime.dwLowDateTime;
  t.HighPart = data.ftLastWriteTime.dwHighDateTime;
  // FILETIME counts 100 ns steps since 1601-01-01.
  return static_cast<std::time_t>(t.QuadPart / 10000000ULL - 11644473600ULL);
}

std::uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
    ThrowOS("Cannot open file \"" + path + "\"", GetLastError());
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    ThrowOS("Cannot open file \"" + path + "\"", ERROR_ACCESS_DENIED);
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::string> DirectoryEntriesStartingWith(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir + prefix + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    // The pattern also matches short (8.3) names: look at the long one.
    const std::string name = data.cFileName;
    if (name.size() >= prefix.size() && SameTextAscii(name.substr(0, prefix.size()), prefix)) names.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

namespace {

std::FILE* OpenRegularFileForReading(const std::string& resolvedName, const std::string& what) {
  HANDLE h = CreateFileA(resolvedName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    throw TOSError(what + ". " + SystemErrorText(static_cast<int>(code)), static_cast<int>(code));
  }
  // A console, a pipe or a device may wait for ever on a read.
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    throw TError(what + ". It is not a regular file (a pipe, a device or a socket).");
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    throw TOSError(what + ". " + SystemErrorText(ERROR_TOO_MANY_OPEN_FILES), ERROR_TOO_MANY_OPEN_FILES);
  }
  std::FILE* f = _fdopen(fd, "rb");
  if (!f) {
    _close(fd);
    throw TOSError(what + ". " + SystemErrorText(ERROR_TOO_MANY_OPEN_FILES), ERROR_TOO_MANY_OPEN_FILES);
  }
  return f;
}

}  // namespace

std::string ReadRegularFile(const std::string& resolvedName, const std::string& fileName, std::uint64_t maxSize) {
  struct TClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, TClose> f(
      OpenRegularFileForReading(resolvedName, "Cannot open file \"" + fileName + "\""));
  ClearLibraryError();
  std::string bytes;
  char buffer[65536];
  // The size is checked while reading, so a file that grows is refused just
  // the same.
  for (;;) {
    std::size_t n = std::fread(buffer, 1, sizeof buffer, f.get());
    if (n > 0) {
      if (bytes.size() + n > maxSize) throw TError(TooLargeText(fileName, maxSize));
      bytes.append(buffer, n);
    }
    if (n < sizeof buffer) {
      if (std::ferror(f.get())) {
        const int code = LastLibraryErrorCode(EIO);
        throw TOSError("Cannot read file \"" + fileName + "\". " + SystemErrorText(code), code);
      }
      break;
    }
  }
  return bytes;
}

TFileReader::TFileReader(const std::string& fileName) : Name(fileName) {
  const std::string what = "Cannot open file \"" + fileName + "\"";
  const std::string real = ResolvePath(fileName);
  if (real.empty()) ThrowOS(what, ERROR_FILE_NOT_FOUND);
  if (DirectoryExists(real)) ThrowOS(what, static_cast<DWORD>(SystemCodeOfErrno(EISDIR)));
  std::FILE* f = OpenRegularFileForReading(real, what);
  const __int64 size = _filelengthi64(_fileno(f));
  if (size < 0) {
    std::fclose(f);
    ThrowOS(what, ERROR_READ_FAULT);
  }
  Bytes = static_cast<std::uint64_t>(size);
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f))), &info))
    FileKey = {info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  Handle = f;
}

std::uint64_t TFileReader::Refresh() {
  const __int64 size = _filelengthi64(_fileno(static_cast<std::FILE*>(Handle)));
  if (size < 0) ThrowOS("Cannot read file \"" + Name + "\"", ERROR_READ_FAULT);
  return Bytes = static_cast<std::uint64_t>(size);
}

TFileReader::~TFileReader() {
  std::fclose(static_cast<std::FILE*>(Handle));
}

std::string TFileReader::ReadAt(std::uint64_t at, std::size_t length) const {
  auto* f = static_cast<std::FILE*>(Handle);
  std::string bytes;
  if (at >= Bytes) return bytes;
  bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(length, Bytes - at)));
  ClearLibraryError();
  if (_fseeki64(f, static_cast<__int64>(at), SEEK_SET) != 0) {
    const int code = LastLibraryErrorCode(EIO);
    throw TOSError("Cannot read file \"" + Name + "\". " + SystemErrorText(code), code);
  }
  const std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f);
  if (n < bytes.size() && std::ferror(f)) {
    const int code = LastLibraryErrorCode(EIO);
    throw TOSError("Cannot read file \"" + Name + "\". " + SystemErrorText(code), code);
  }
  bytes.resize(n);
  return bytes;
}

void RenameFile(const std::string& from, const std::string& to) {
  if (!MoveFileA(from.c_str(), to.c_str())) ThrowOS("Cannot rename " + from + " to " + to, GetLastError());
}

bool DeleteFile(const std::string& path) {
  return ::DeleteFileA(path.c_str()) != 0;
}

void ForceDirectories(const std::string& path) {
  if (path.empty()) throw TOSError("Unable to create directory", ERROR_PATH_NOT_FOUND);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path), ec);
  if (ec) ThrowOS("Unable to create directory " + path, static_cast<DWORD>(SystemCodeOf(ec)));
  if (!DirectoryExists(path)) ThrowOS("Unable to create directory " + path, ERROR_DIRECTORY);
}

std::string GetCurrentDir() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (n == 0 || n > sizeof buffer) return std::string();
  return std::string(buffer, n);
}

void SetCurrentDir(const std::string& path) {
  // The directory's own spelling, so that the names made from it are those
  // of the files.
  if (!SetCurrentDirectoryA(ResolvePath(path).c_str())) ThrowOS("Cannot change directory to " + path, GetLastError());
}

std::string ProgramFile() {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) return std::string(buffer.data(), n);
    if (buffer.size() > 32768) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

std::string ProgramDir() {
  return ExtractFileDir(ProgramFile());
}

std::string UserConfigDir() {
  const char* appData = std::getenv("APPDATA");
  if (appData && *appData) return std::string(appData) + "\\tesmar";
  return ProgramDir();
}

std::string InstalledDataDir() {
  return std::string();
}

std::string InstalledDataDirOf(const std::string&) {
  return std::string();
}

bool IsDirectoryWritable(const std::string& dir) {
  if (!DirectoryExists(dir)) return false;
  char name[MAX_PATH + 1];
  if (!GetTempFileNameA(dir.c_str(), "tsm", 0, name)) return false;
  ::DeleteFileA(name);
  return true;
}

std::string ShortPathName(const std::string& path) {
  DWORD n = GetShortPathNameA(path.c_str(), nullptr, 0);
  if (n == 0) return path;
  std::string result(n, '\0');
  n = GetShortPathNameA(path.c_str(), result.data(), n);
  if (n == 0 || n >= result.size()) return path;
  result.resize(n);
  return result;
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) return path;
  DWORD n = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return path;
  std::string result(n, '\0');
  n = GetFullPathNameA(path.c_str(), n, result.data(), nullptr);
  if (n == 0 || n >= result.size()) return path;
  result.resize(n);
  return result;
}

std::string ExpandUNCFileName(const std::string& path) {
  std::string full = ExpandFileName(path);
  // Only a mapped network drive has a universal name; anything else keeps its
  // full name.
  std::vector<char> buffer(1024);
  DWORD size = static_cast<DWORD>(buffer.size());
  if (WNetGetUniversalNameA(full.c_str(), UNIVERSAL_NAME_INFO_LEVEL, buffer.data(), &size) != NO_ERROR) return full;
  const auto* info = reinterpret_cast<const UNIVERSAL_NAME_INFOA*>(buffer.data());
  return info->lpUniversalName ? std::string(info->lpUniversalName) : full;
}

// Windows resolves letter case itself: there is nothing to keep.
TDirectoryListingScope::TDirectoryListingScope() = default;
TDirectoryListingScope::~TDirectoryListingScope() = default;
void ForgetDirectoryListings() {}
void ForgetKeptFileFacts() {}
std::uint64_t KeptFactsVersion() {
  return 0;
}
const std::string* KeptFileBytes(const std::string&) {
  return nullptr;
}
void KeepFileBytes(const std::string&, const std::string&) {}
void NoteDirectoryEntry(const std::string&, bool) {}

}  // namespace platform
