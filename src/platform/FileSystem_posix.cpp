#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
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

// What is kept while a TDirectoryListingScope lives. Listings map a
// lower-cased name to the entry chosen for it. Where the system tells of
// changes to a directory (inotify), its listing follows every entry created,
// removed or renamed there, by this program or any other; without that the
// listing goes when another program runs. The results of looking at a path
// and the bytes of files read are kept until the program changes the file or
// runs another program.
// Every spelling of a name is kept (a case-sensitive file system may hold
// several); the first in byte order is the one chosen.
using TEntries = std::map<std::string, std::set<std::string>>;
struct TListing {
  TEntries Entries;
  int Watch = -1;  // the inotify watch that keeps it true, -1 for none
};
// What one look found, of a status only the parts that the questions here
// read: a project's worth of kept looks then takes half the room.
struct TKeptStat {
  int Result = 0;
  int Error = 0;
  mode_t Mode = 0;
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  timespec Modified{}, Changed{};

  void Look(const std::string& path, bool link) {
    struct stat st {};
    Result = link ? ::lstat(path.c_str(), &st) : ::stat(path.c_str(), &st);
    Error = Result == 0 ? 0 : errno;
    Mode = st.st_mode;
    Device = st.st_dev;
    Inode = st.st_ino;
    Size = st.st_size;
    Modified = st.st_mtim;
    Changed = st.st_ctim;
  }
  void Give(struct stat& st) const {
    st = {};
    st.st_mode = Mode;
    st.st_dev = Device;
    st.st_ino = Inode;
    st.st_size = Size;
    st.st_mtim = Modified;
    st.st_ctim = Changed;
  }
};
// What one look at a path found, and for a link what its target is.
struct TKeptPath {
  TKeptStat Own;
  std::unique_ptr<TKeptStat> Target;
};
struct TKeptFacts {
  std::map<std::string, TListing> Listings;
  // A watch to the listings it keeps true: one directory may be named in two
  // ways (through a link), and the system gives both one watch.
  std::unordered_map<int, std::vector<std::string>> Watched;
  std::unordered_map<std::string, TKeptPath> Stats;
  std::unordered_map<std::string, std::string> Bytes;
  // One notice channel for the whole run: closing one costs the system
  // milliseconds, removing a watch microseconds.
  int Notify = -1;
  // Counts the changes of what is kept (see KeptFactsVersion).
  std::uint64_t Version = 1;
  // Another program ran or runs since the notices were last read. The
  // program's own changes are noted as it makes them, so that only others'
  // need the notices (a read that finds none costs a system call).
  bool OthersChanged = false;
};
int ListingScopes = 0;
TKeptFacts& Kept() {
  static TKeptFacts kept;
  return kept;
}
void DropKept() {
  TKeptFacts& kept = Kept();
  for (const auto& [watch, keys] : kept.Watched) inotify_rm_watch(kept.Notify, watch);
  if (kept.Notify >= 0) {
    alignas(inotify_event) char buffer[16384];
    while (::read(kept.Notify, buffer, sizeof buffer) > 0) {
    }
  }
  const int notify = kept.Notify;
  const std::uint64_t version = kept.Version;
  kept = TKeptFacts();
  kept.Notify = notify;
  kept.Version = version + 1;
}

void RemoveEntry(TEntries& entries, const std::string& name) {
  auto it = entries.find(LowerAscii(name));
  if (it == entries.end()) return;
  it->second.erase(name);
  if (it->second.empty()) entries.erase(it);
}

constexpr uint32_t NamesChanged = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

// Brings the listings up to date with the changes the system reported.
void FollowChanges() {
  TKeptFacts& kept = Kept();
  if (kept.Notify < 0 || !kept.OthersChanged) return;
  kept.OthersChanged = false;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(kept.Notify, buffer, sizeof buffer);
    if (n <= 0) return;  // EAGAIN: nothing more
    ++kept.Version;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) {
        // Changes were lost: no listing can be trusted.
        for (const auto& [watch, keys] : kept.Watched) inotify_rm_watch(kept.Notify, watch);
        kept.Listings.clear();
        kept.Watched.clear();
        continue;
      }
      auto watched = kept.Watched.find(event->wd);
      if (watched == kept.Watched.end()) continue;
      if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
        for (const std::string& key : watched->second) kept.Listings.erase(key);
        kept.Watched.erase(watched);
        continue;
      }
      const std::string name = event->len > 0 ? std::string(event->name) : std::string();
      for (const std::string& key : watched->second) {
        auto listing = kept.Listings.find(key);
        if (listing == kept.Listings.end()) continue;
        if (event->mask & (IN_CREATE | IN_MOVED_TO))
          listing->second.Entries[LowerAscii(name)].insert(name);
        else if (event->mask & (IN_DELETE | IN_MOVED_FROM))
          RemoveEntry(listing->second.Entries, name);
      }
    }
  }
}

// Starts following a directory; -1 where the system cannot.
int WatchDirectory(const std::string& dir) {
  TKeptFacts& kept = Kept();
  if (kept.Notify < 0) kept.Notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (kept.Notify < 0) return -1;
  return inotify_add_watch(kept.Notify, dir.empty() ? "." : dir.c_str(), NamesChanged | IN_ONLYDIR);
}

const TEntries* FollowedListing(const std::string& dir);

// A full path whose directory has a listing that the system keeps true, and
// that the listing does not hold as written: no look at the disk can find it.
bool ListedAsMissing(const std::string& path) {
  if (path.empty() || path.front() != '/') return false;
  // Only a kept listing can tell, and following changes never adds one.
  if (Kept().Listings.empty()) return false;
  const std::size_t slash = path.rfind('/');
  const std::string name = path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") return false;
  const TEntries* entries = FollowedListing(path.substr(0, slash + 1));
  if (!entries) return false;
  auto it = entries->find(LowerAscii(name));
  return it == entries->end() || !it->second.contains(name);
}

int KeptStatOf(const std::string& path, struct stat& st, bool link) {
  if (ListingScopes == 0) return link ? ::lstat(path.c_str(), &st) : ::stat(path.c_str(), &st);
  auto [it, added] = Kept().Stats.try_emplace(path);
  TKeptPath& kept = it->second;
  if (added && ListedAsMissing(path)) {
    kept.Own.Result = -1;
    kept.Own.Error = ENOENT;
  } else if (added) {
    // One look serves both questions unless the path is a link.
    kept.Own.Look(path, true);
    if (kept.Own.Result == 0 && S_ISLNK(kept.Own.Mode)) {
      kept.Target = std::make_unique<TKeptStat>();
      kept.Target->Look(path, false);
    }
  }
  const TKeptStat& found = link || !kept.Target ? kept.Own : *kept.Target;
  found.Give(st);
  errno = found.Error;
  return found.Result;
}

void ForgetFactsOf(const std::string& path) {
  TKeptFacts& kept = Kept();
  ++kept.Version;
  kept.Stats.erase(path);
  kept.Bytes.erase(path);
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
    if (KeptStatOf(dir + candidate, st, true) == 0) {
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
const TEntries& KeptListing(const std::string& dir) {
  FollowChanges();
  TKeptFacts& kept = Kept();
  const std::string key = ListingKey(dir);
  auto it = kept.Listings.find(key);
  if (it != kept.Listings.end()) return it->second.Entries;
  TListing listing;
  // Followed before it is read, so that no change in between is missed.
  listing.Watch = WatchDirectory(key);
  if (DIR* d = opendir(dir.empty() ? "." : dir.c_str())) {
    while (const dirent* e = readdir(d)) listing.Entries[LowerAscii(e->d_name)].insert(e->d_name);
    closedir(d);
  }
  if (listing.Watch >= 0) kept.Watched[listing.Watch].push_back(key);
  return kept.Listings.emplace(key, std::move(listing)).first->second.Entries;
}

// The entries of a directory as a kept listing that the system keeps true
// tells them; nullptr when there is none (then the file system is asked).
const TEntries* FollowedListing(const std::string& dir) {
  if (ListingScopes == 0) return nullptr;
  FollowChanges();
  auto it = Kept().Listings.find(ListingKey(dir));
  return it != Kept().Listings.end() && it->second.Watch >= 0 ? &it->second.Entries : nullptr;
}

bool FindEntryIgnoringCase(const std::string& dir, const std::string& name, std::string& found) {
  if (const TEntries* entries = FollowedListing(dir)) {
    auto entry = entries->find(LowerAscii(name));
    if (entry == entries->end()) return false;
    found = entry->second.count(name) ? name : *entry->second.begin();
    return true;
  }
  if (ProbeCommonSpellings(dir, name, found)) return true;
  if (ListingScopes == 0) return ScanEntryIgnoringCase(dir, name, found);
  const auto& listing = KeptListing(dir);
  auto entry = listing.find(LowerAscii(name));
  if (entry == listing.end()) return false;
  found = *entry->second.begin();
  return true;
}

bool Stat(const std::string& path, struct stat& st) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  return KeptStatOf(path, st, false) == 0;
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
  if (--ListingScopes == 0) DropKept();
}

void ForgetDirectoryListings() {
  DropKept();
}

void ForgetKeptFileFacts() {
  TKeptFacts& kept = Kept();
  ++kept.Version;
  kept.OthersChanged = true;
  // Swapped out rather than cleared, which would sweep every bucket that
  // the maps ever grew to, twice for each tool run.
  decltype(kept.Stats)().swap(kept.Stats);
  decltype(kept.Bytes)().swap(kept.Bytes);
  // A listing that nothing keeps true cannot be trusted after another
  // program ran.
  for (auto it = kept.Listings.begin(); it != kept.Listings.end();)
    it = it->second.Watch < 0 ? kept.Listings.erase(it) : std::next(it);
}

void NoteDirectoryEntry(const std::string& resolvedPath, bool exists) {
  if (ListingScopes == 0) return;
  ForgetFactsOf(resolvedPath);
  const auto slash = resolvedPath.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : resolvedPath.substr(0, slash + 1);
  const std::string name = resolvedPath.substr(slash == std::string::npos ? 0 : slash + 1);
  auto& listings = Kept().Listings;
  auto it = listings.find(ListingKey(dir));
  if (it == listings.end()) return;
  if (exists)
    it->second.Entries[LowerAscii(name)].insert(name);
  else if (::access(resolvedPath.c_str(), F_OK) != 0)
    RemoveEntry(it->second.Entries, name);
}

std::uint64_t KeptFactsVersion() {
  if (ListingScopes == 0) return 0;
  FollowChanges();
  return Kept().Version;
}

const std::string* KeptFileBytes(const std::string& resolvedPath) {
  if (ListingScopes == 0) return nullptr;
  auto it = Kept().Bytes.find(resolvedPath);
  return it == Kept().Bytes.end() ? nullptr : &it->second;
}

void KeepFileBytes(const std::string& resolvedPath, const std::string& bytes) {
  // Setting files are small; a large file (a log) is not worth keeping.
  if (ListingScopes > 0 && bytes.size() <= 256 * 1024) Kept().Bytes[resolvedPath] = bytes;
}

namespace {

bool HasTrailingDot(const std::string& path) {
  for (std::size_t i = 0; i < path.size(); ++i)
    if (path[i] == '.' && (i + 1 == path.size() || path[i + 1] == '/')) return true;
  return false;
}

// The status of what a path names once resolved. Where the name exists as
// written (links followed) and no component ends in a dot, ResolvePath would
// give it as it is: one look, without making the resolved name.
bool StatResolved(const std::string& path, struct stat& st) {
  if (!path.empty() && !HasTrailingDot(path) && KeptStatOf(path, st, false) == 0) return true;
  return Stat(ResolvePath(path), st);
}

}  // namespace

std::string ResolvePath(const std::string& path) {
  if (path.empty()) return path;
  // The usual case: the name exists as written and no component ends in a
  // dot. One look settles it.
  struct stat exact;
  if (!HasTrailingDot(path) && KeptStatOf(path, exact, true) == 0) return path;
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
      if (FollowedListing(result)) {
        // The kept listing answers without a look at the disk.
        if (FindEntryIgnoringCase(result, name, found)) {
          result += found;
        } else {
          result += name;
          resolving = false;
        }
      } else if (KeptStatOf(result + name, st, true) == 0) {
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

namespace {

TFileIdentity IdentityOf(const struct stat& st) {
  TFileIdentity id;
  id.Exists = true;
  id.Device = static_cast<unsigned long long>(st.st_dev);
  id.Inode = static_cast<unsigned long long>(st.st_ino);
  id.Size = static_cast<unsigned long long>(st.st_size);
  id.MTimeSec = st.st_mtim.tv_sec;
  id.MTimeNsec = st.st_mtim.tv_nsec;
  id.CTimeSec = st.st_ctim.tv_sec;
  id.CTimeNsec = st.st_ctim.tv_nsec;
  return id;
}

}  // namespace

TFileIdentity FileIdentity(const std::string& resolvedPath) {
  struct stat st;
  return Stat(resolvedPath, st) ? IdentityOf(st) : TFileIdentity{};
}

TFileState FileState(const std::string& path) {
  TFileState state;
  struct stat st;
  if (!StatResolved(path, st)) return state;
  state.IsFile = !S_ISDIR(st.st_mode);
  state.ReadOnly = (st.st_mode & S_IWUSR) == 0;
  state.Identity = IdentityOf(st);
  return state;
}

std::string FollowLinks(const std::string& resolvedPath) {
  std::string path = resolvedPath;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    std::error_code ec;
    std::filesystem::path next = std::filesystem::read_symlink(path, ec);
    if (ec) break;
    if (next.is_relative()) next = std::filesystem::path(path).parent_path() / next;
    path = next.lexically_normal().string();
  }
  if (path != resolvedPath) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) throw TError(resolvedPath + " is a link to " + path + ", which does not exist");
  }
  return path;
}

bool IsDanglingLink(const std::string& resolvedPath) {
  struct stat st;
  return !resolvedPath.empty() && ::lstat(resolvedPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
         ::stat(resolvedPath.c_str(), &st) != 0;
}

TFileLock::TFileLock(std::string fileName) : Name(std::move(fileName)) {}

TFileLock::~TFileLock() {
  Unlock();
}

bool TFileLock::TryLock() {
  if (Handle) return true;
  int fd;
  do {
    fd = ::open(Name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw TOSError("Cannot open the lock " + Name + ". " + SystemErrorText(errno), errno);
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const int code = errno;
    ::close(fd);
    if (code == EWOULDBLOCK) return false;
    throw TOSError("Cannot lock " + Name + ". " + SystemErrorText(code), code);
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
    // The holder's id is a courtesy for the message of whoever waits.
  }
  Handle = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
  return true;
}

void TFileLock::Unlock() {
  if (!Handle) return;
  const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(Handle) - 1);
  if (::ftruncate(fd, 0) != 0) {
    // An id left behind names no holder once the lock is free.
  }
  ::close(fd);  // drops the lock
  Handle = nullptr;
}

bool SameFile(const std::string& a, const std::string& b) {
  // Looked at afresh (a link is followed), not through what is kept.
  struct stat sa, sb;
  const std::string ra = ResolvePath(a), rb = ResolvePath(b);
  const bool ea = !ra.empty() && ::stat(ra.c_str(), &sa) == 0, eb = !rb.empty() && ::stat(rb.c_str(), &sb) == 0;
  if (ea && eb) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  if (ea || eb) return false;
  return SameTextAscii(ExpandFileName(ApplyTrailingDotRule(a)), ExpandFileName(ApplyTrailingDotRule(b)));
}

bool IsSpecialFile(const std::string& path) {
  struct stat st;
  const std::string real = ResolvePath(path);
  return !real.empty() && ::stat(real.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return StatResolved(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return StatResolved(path, st) && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st;
  return StatResolved(path, st);
}

bool IsReadOnly(const std::string& path) {
  struct stat st;
  return StatResolved(path, st) && (st.st_mode & S_IWUSR) == 0;
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
  ForgetFactsOf(real);
  if (::chmod(real.c_str(), mode) != 0) ThrowOS("Cannot set attributes of " + path, errno);
}

std::time_t LastWriteTime(const std::string& path) {
  struct stat st;
  if (!StatResolved(path, st)) ThrowOS("Cannot read the time of " + path, errno);
  return st.st_mtime;
}

std::uint64_t FileSize(const std::string& path) {
  struct stat st;
  if (!StatResolved(path, st)) ThrowOS("Cannot open file \"" + path + "\"", errno);
  if (S_ISDIR(st.st_mode)) ThrowOS("Cannot open file \"" + path + "\"", EISDIR);
  return static_cast<std::uint64_t>(st.st_size);
}

std::vector<std::string> DirectoryEntriesStartingWith(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  if (ListingScopes > 0) {
    const auto& listing = KeptListing(dir);
    const std::string lower = LowerAscii(prefix);
    for (auto it = listing.lower_bound(lower); it != listing.end() && it->first.starts_with(lower); ++it)
      for (const std::string& spelling : it->second)
        if (spelling.starts_with(prefix)) names.push_back(spelling);
    return names;
  }
  if (DIR* d = opendir(dir.empty() ? "." : dir.c_str())) {
    while (const dirent* e = readdir(d))
      if (std::string_view(e->d_name).starts_with(prefix)) names.emplace_back(e->d_name);
    closedir(d);
  }
  return names;
}

TFileReader::TFileReader(const std::string& fileName) : Name(fileName) {
  const std::string what = "Cannot open file \"" + fileName + "\"";
  const std::string real = ResolvePath(fileName);
  if (real.empty()) throw TOSError(what + ". " + SystemErrorText(ENOENT), ENOENT);
  int fd;
  do {
    fd = ::open(real.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw TOSError(what + ". " + SystemErrorText(errno), errno);
  struct stat st;
  const int code = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (code != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (code != 0) throw TOSError(what + ". " + SystemErrorText(code), code);
    throw TError(what + ". It is not a regular file (a pipe, a device or a socket).");
  }
  Bytes = static_cast<std::uint64_t>(st.st_size);
  FileKey = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  Handle = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd) + 1);
}

std::uint64_t TFileReader::Refresh() {
  struct stat st;
  if (::fstat(static_cast<int>(reinterpret_cast<std::intptr_t>(Handle) - 1), &st) != 0) {
    const int code = errno;
    throw TOSError("Cannot read file \"" + Name + "\". " + SystemErrorText(code), code);
  }
  return Bytes = static_cast<std::uint64_t>(st.st_size);
}

TFileReader::~TFileReader() {
  ::close(static_cast<int>(reinterpret_cast<std::intptr_t>(Handle) - 1));
}

std::string TFileReader::ReadAt(std::uint64_t at, std::size_t length) const {
  const int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(Handle) - 1);
  std::string bytes;
  if (at >= Bytes) return bytes;
  bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(length, Bytes - at)));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int code = errno;
      throw TOSError("Cannot read file \"" + Name + "\". " + SystemErrorText(code), code);
    }
    if (n == 0) break;  // the file shrank meanwhile
    done += static_cast<std::size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

std::string ReadRegularFile(const std::string& resolvedName, const std::string& fileName, std::uint64_t maxSize) {
  const std::string what = "Cannot open file \"" + fileName + "\"";
  // Opened without waiting, so that a FIFO without a writer does not hold the
  // program; a regular file then reads as usual.
  int fd;
  do {
    fd = ::open(resolvedName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw TOSError(what + ". " + SystemErrorText(errno), errno);
  struct TClose {
    int Fd;
    ~TClose() { ::close(Fd); }
  } closer{fd};
  struct stat st;
  const int code = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (code != 0) throw TOSError(what + ". " + SystemErrorText(code), code);
  if (!S_ISREG(st.st_mode)) throw TError(what + ". It is not a regular file (a pipe, a device or a socket).");
  ::fcntl(fd, F_SETFL, 0);  // only O_NONBLOCK was set
  // The size it had when opened is read straight into the text, one byte
  // more asked for so that the end shows in the same read. What lies beyond
  // (a file that grew, or one that tells no size, as the system's own files
  // do) is read in blocks. The size is checked while reading, so a file that
  // grows is refused just the same.
  const auto expected = static_cast<std::uint64_t>(st.st_size);
  if (expected > maxSize) throw TError(TooLargeText(fileName, maxSize));
  std::string bytes;
  char block[65536];
  for (;;) {
    const std::size_t at = bytes.size();
    const bool sized = at < expected;
    const std::size_t want =
        sized ? static_cast<std::size_t>(std::min<std::uint64_t>(expected - at + 1, 1u << 20)) : sizeof block;
    if (sized) bytes.resize(at + want);
    char* into = sized ? bytes.data() + at : block;
    ssize_t n;
    do {
      n = ::read(fd, into, want);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
      const int readCode = errno;
      throw TOSError("Cannot read file \"" + fileName + "\". " + SystemErrorText(readCode), readCode);
    }
    if (sized)
      bytes.resize(at + static_cast<std::size_t>(n));
    else
      bytes.append(block, static_cast<std::size_t>(n));
    if (bytes.size() > maxSize) throw TError(TooLargeText(fileName, maxSize));
    if (n == 0 || (static_cast<std::size_t>(n) < want && bytes.size() >= expected)) break;
  }
  return bytes;
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
  if (path.empty()) throw TOSError("Unable to create directory", ENOENT);
  std::string real = ResolvePath(path);
  struct stat existing;
  if (Stat(real, existing) && S_ISDIR(existing.st_mode)) return;
  ForgetDirectoryListings();
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

namespace {

// An absolute name without an empty, "." or ".." component is its own
// normal form.
bool IsNormalAbsolute(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  for (std::size_t start = 1; start < path.size();) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if ((part.empty() && end < path.size()) || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

std::string ExpandFileName(const std::string& path) {
  if (path.empty() || IsNormalAbsolute(path)) return path;
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

std::string ExpandUNCFileName(const std::string& path) {
  return ExpandFileName(path);
}

}  // namespace platform
