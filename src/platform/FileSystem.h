#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#ifdef DeleteFile
// <windows.h> defines DeleteFile as a macro; our function keeps its name.
#undef DeleteFile
#endif

// The file system as the system sees it: Windows rules on every platform.
//
// Names given by a project resolve the way Windows finds them: the exact name
// if it exists, otherwise, per path component, the one entry of its directory
// that matches without regard to case. A name ending in '.' stands for the
// name without that dot.
namespace platform {

#ifdef _WIN32
inline constexpr char PathDelim = '\\';
#else
inline constexpr char PathDelim = '/';
#endif

bool IsPathDelim(char c);

// The existing file system entry that a name refers to, or the name with the
// trailing-dot rule applied when nothing matches. Relative names stay relative.
// Each component is resolved in turn: the exact name when it exists, else the
// entry of its directory that matches without regard to (ASCII) case; should
// a case-sensitive file system hold several of those, the first in byte order
// is taken. From the first component that matches nothing, the rest stays as
// given. Separators stay as written.
std::string ResolvePath(const std::string& path);
// Drops the dots at the end of the last component ("Summary.log." ->
// "Summary.log"); "." and ".." stay. ResolvePath does the same for every
// component, as Windows does.
std::string ApplyTrailingDotRule(const std::string& path);

// While one of these lives, what the program learns of the file system is
// kept, so that bulk work (loading a project with a thousand entries that
// share their setting files) reads each directory and each file once: the
// directory listings read to resolve names without regard to case (read
// again when the directory changes), whether a path exists and its status,
// and the bytes of small files read. A change the program makes through this
// service or the text-file service updates what is kept of that path; a
// program it runs drops all but the listings. Use a scope only where nothing
// else changes the files meanwhile.
class TDirectoryListingScope {
 public:
  TDirectoryListingScope();
  ~TDirectoryListingScope();
  TDirectoryListingScope(const TDirectoryListingScope&) = delete;
  TDirectoryListingScope& operator=(const TDirectoryListingScope&) = delete;
};
// Drops everything kept (the program changed something in the file system).
void ForgetDirectoryListings();
// Drops what is kept of paths and files (another program ran or runs). The
// listings stay: at the next look they take in what the system noticed of
// that program's changes. Within a scope, only the program's own changes and
// those of programs it ran are seen.
void ForgetKeptFileFacts();
// Changes whenever what is kept changes (the program changed a file, another
// program ran, a listing followed a change); 0 outside a scope. Work that
// read only kept facts need not be done again while it stays the same.
std::uint64_t KeptFactsVersion();
// The bytes of a file (a resolved name) read while the scope lives, nullptr
// when there are none; KeepFileBytes keeps them (small files only).
const std::string* KeptFileBytes(const std::string& resolvedPath);
void KeepFileBytes(const std::string& resolvedPath, const std::string& bytes);
// Tells the kept listings that the program itself created (exists) or removed
// the entry of a resolved path.
void NoteDirectoryEntry(const std::string& resolvedPath, bool exists);

// What tells one state of a file from another: a file replaced, rewritten or
// touched has another identity.
struct TFileIdentity {
  bool Exists = false;
  unsigned long long Device = 0, Inode = 0, Size = 0;
  long long MTimeSec = 0, MTimeNsec = 0, CTimeSec = 0, CTimeNsec = 0;
  bool operator==(const TFileIdentity&) const = default;
};
TFileIdentity FileIdentity(const std::string& resolvedPath);
// Whether a file of this identity had been left alone for a while at the
// moment 'at' (seconds and nanoseconds since 1970, UTC). A change after that
// moment gives it another identity for certain: its times move on by more
// than their granularity (two seconds on FAT, a clock tick elsewhere), which
// a change within the same tick would not ensure.
bool IdentityWasSettled(const TFileIdentity& identity, long long atSec, long long atNsec);
// The same at this moment.
bool IdentityIsSettled(const TFileIdentity& identity);

// A file in one look: a file (not a directory), its read-only attribute and
// its identity, size included. None of these when nothing is there.
struct TFileState {
  bool IsFile = false, ReadOnly = false;
  TFileIdentity Identity;
};
TFileState FileState(const std::string& path);

// The file that a (resolved) name leads to through symbolic links: the name
// itself when it is no link. A write goes there, so that a link is never
// replaced by a file of its own. A link that leads nowhere (a share that is
// not mounted) throws TError ("<name> is a link to <target>, which does not
// exist"). Windows: the name itself.
std::string FollowLinks(const std::string& resolvedPath);
// Whether the name is a symbolic link that leads nowhere.
bool IsDanglingLink(const std::string& resolvedPath);

// Whether two names lead to one file: by the system's identity of the file
// (device and inode; on Windows the volume and file index) when both exist,
// so that a symbolic link, a hard link or another spelling is the file it
// leads to; two names of which neither exists, by their full paths (letter
// case aside, as names resolve); never when only one exists.
bool SameFile(const std::string& a, const std::string& b);
// Something that exists and is neither a regular file nor a directory: a
// device, a pipe, a socket.
bool IsSpecialFile(const std::string& path);
bool FileExists(const std::string& path);       // a file, not a directory
bool DirectoryExists(const std::string& path);  // a directory
bool PathExists(const std::string& path);       // either

// Read-only attribute: on POSIX a file without its owner's write bit.
bool IsReadOnly(const std::string& path);
// Clears every attribute we model (the read-only flag). Throws TOSError.
void ClearAttributes(const std::string& path);
void SetReadOnly(const std::string& path, bool readOnly);

// Last-write time as seconds since the epoch (UTC). Throws TOSError.
std::time_t LastWriteTime(const std::string& path);
// Length in bytes. Throws TOSError when the file cannot be opened.
std::uint64_t FileSize(const std::string& path);

// Names of the entries of a directory ("" for the current one) that start
// with prefix, letter case included. Within a TDirectoryListingScope the kept
// listing answers, so asking again costs no reading of the directory.
std::vector<std::string> DirectoryEntriesStartingWith(const std::string& dir, const std::string& prefix);

// Reads the whole of an existing file (a resolved name; fileName is the name
// the messages give). Only a regular file is read: a pipe, a device or a
// socket is refused with TError ("Cannot open file \"" + fileName + "\". It
// is not a regular file (a pipe, a device or a socket)."), as reading one may
// wait for ever. More than maxSize bytes, also in a file that grows while it
// is read, throw TError ("The file \"" + fileName + "\" is too large to be
// read (more than " + maxSize + " bytes)."). Other failures throw TOSError
// ("Cannot open file \"" + fileName + "\". " or "Cannot read file ..." and
// the system's text).
std::string ReadRegularFile(const std::string& resolvedName, const std::string& fileName, std::uint64_t maxSize);
// The message of a file too large to be read.
std::string TooLargeText(const std::string& fileName, std::uint64_t maxSize);

// A regular file open for reading pieces of it at any offset: a large
// executable is read where its headers point, never whole. Opening fails as
// ReadRegularFile does (the name is resolved first; a directory, a pipe, a
// device or a socket is refused), reading throws TOSError ("Cannot read file
// ...").
// A file as the system knows it, whatever its names: device and inode (on
// Windows the volume and the file index).
struct TFileKey {
  std::uint64_t Volume = 0, Index = 0;
  bool operator==(const TFileKey&) const = default;
};

class TFileReader {
 public:
  explicit TFileReader(const std::string& fileName);
  ~TFileReader();
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;

  std::uint64_t Size() const { return Bytes; }
  // The file open, whatever became of its name since.
  TFileKey Key() const { return FileKey; }
  // Looks at the size again (a file that another program writes); gives it.
  std::uint64_t Refresh();
  // Up to length bytes from at on: fewer where the file ends, none beyond it.
  std::string ReadAt(std::uint64_t at, std::size_t length) const;

 private:
  std::string Name;
  std::uint64_t Bytes = 0;
  TFileKey FileKey;
  void* Handle = nullptr;  // the system's open file
};

// An exclusive lock on a file (made when missing), which the system drops
// when the process ends however it ends: one run of a project at a time.
// The file holds the process id of its holder while the lock is held.
class TFileLock {
 public:
  explicit TFileLock(std::string fileName);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

  // Takes the lock when no other process holds it; false when one does.
  // Throws TOSError when the file cannot be made or opened.
  bool TryLock();
  void Unlock();
  bool Held() const { return Handle != nullptr; }
  // The process id the holder wrote into the file ("" when unknown).
  std::string Holder() const;

 private:
  std::string Name;
  void* Handle = nullptr;
};

// Renames a file, replacing nothing: the target must not exist (a change of
// letter case alone is allowed). Throws TOSError.
void RenameFile(const std::string& from, const std::string& to);
// Deletes a file; false when it could not be deleted or did not exist. A
// read-only file is not deleted, as on Windows.
bool DeleteFile(const std::string& path);
// Creates a directory and all missing parents. Throws TOSError ("Unable to
// create directory" for an empty name, as Windows says; "Unable to create
// directory <name>: <reason>" otherwise).
void ForceDirectories(const std::string& path);

std::string GetCurrentDir();
// Throws TOSError.
void SetCurrentDir(const std::string& path);

// The running program's file and directory (no trailing separator).
std::string ProgramFile();
std::string ProgramDir();
// Where the program's writable settings go when its own directory cannot be
// written (an installed program): $XDG_CONFIG_HOME/tesmar, else ~/.config/tesmar.
std::string UserConfigDir();
// Installed data directory (master copies of the default files, the manual),
// or "" when the program is not installed: a program in <prefix>/bin whose
// <prefix>/share/tesmar exists is installed. Never on Windows.
std::string InstalledDataDir();
std::string InstalledDataDirOf(const std::string& programDir);
bool IsDirectoryWritable(const std::string& dir);

// The short (8.3) form of a path; the path itself where there is none.
std::string ShortPathName(const std::string& path);
// A full, absolute name; a network drive in its universal (UNC) form where the
// platform has one.
std::string ExpandFileName(const std::string& path);
std::string ExpandUNCFileName(const std::string& path);

// Name parts, with either separator accepted on Windows and '/' on POSIX.
std::string ExtractFileName(const std::string& path);  // "C:\a\b.txt" -> "b.txt"
std::string ExtractFilePath(const std::string& path);  // with trailing separator
std::string ExtractFileDir(const std::string& path);   // without it (keeps a root)
std::string ExtractFileExt(const std::string& path);   // ".txt", "" when none
// Replaces (or appends) the extension of the last component; ext carries its dot.
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);

}  // namespace platform
