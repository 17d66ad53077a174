#include "platform/TextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <utility>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace platform {

namespace {

// code: the system's error code (see SystemCodeOfErrno).
[[noreturn]] void ThrowOS(const std::string& what, int code) {
  throw TOSError(what + ". " + SystemErrorText(code), code);
}

struct TFileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

TWriteFault& WriteFaultHook() {
  static TWriteFault hook;
  return hook;
}

// The system's code for an injected failure (an errno value), or 0.
int InjectedFault(const std::string& target, TWriteStage stage) {
  const int code = WriteFaultHook() ? WriteFaultHook()(target, stage) : 0;
  return code ? SystemCodeOfErrno(code) : 0;
}

// What the names of files written beside a target start with.
std::string TempPrefix(const std::string& target) {
  return ExtractFileName(target) + ".~";
}

// The name beside target for writing the new content: <name>.~<process
// id>-<n>.tmp, so that the next save can tell whose it is. Only this process
// makes names with its id, one file at a time, and what an earlier process of
// the same id left is gone with the leftovers.
std::string SiblingTempName(const std::string& target) {
  static std::minstd_rand numbers(std::random_device{}());
  return target + ".~" + std::to_string(CurrentProcessId()) + "-" + std::to_string(numbers() % 1000000) + ".tmp";
}

// The process that wrote a file beside a target, read from its name; -1 when
// the name is not one of ours.
long TempOwner(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix) || !name.ends_with(".tmp")) return -1;
  name = name.substr(prefix.size(), name.size() - prefix.size() - 4);
  const auto dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size() || dash > 9) return -1;
  long pid = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (i == dash) continue;
    if (name[i] < '0' || name[i] > '9') return -1;
    if (i < dash) pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

// Removes what killed saves of target left beside it: files of ours whose
// process has ended (or is this one, which writes one file at a time).
void RemoveLeftovers(const std::string& target) {
  const std::string dir = ExtractFilePath(target);
  const std::string prefix = TempPrefix(target);
  for (const std::string& name : DirectoryEntriesStartingWith(dir, prefix)) {
    const long owner = TempOwner(name, prefix);
    if (owner < 0 || (owner != CurrentProcessId() && ProcessIsRunning(owner))) continue;
    if (std::remove((dir + name).c_str()) == 0) NoteDirectoryEntry(dir + name, false);
  }
}

}  // namespace

namespace {

// Calls f with each line of the text, split as SplitLines documents.
template <typename F>
void ForEachLine(std::string_view text, F f) {
  // The next CR and the next LF, each found by a search of its own.
  std::size_t cr = text.find('\r'), lf = text.find('\n');
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(cr, lf);
    if (end == std::string_view::npos) {
      f(text.substr(start));
      return;
    }
    f(text.substr(start, end - start));
    start = end + (end == cr && lf == end + 1 ? 2 : 1);
    if (cr < start) cr = text.find('\r', start);
    if (lf < start) lf = text.find('\n', start);
  }
}

// Room for the lines of a text whose lines end in LF or CR LF, the usual kind.
std::size_t LikelyLineCount(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

}  // namespace

std::vector<std::string_view> SplitLineViews(std::string_view text) {
  std::vector<std::string_view> lines;
  lines.reserve(LikelyLineCount(text));
  ForEachLine(text, [&lines](std::string_view line) { lines.push_back(line); });
  return lines;
}

TStringList SplitLines(std::string_view text) {
  TStringList lines;
  lines.reserve(LikelyLineCount(text));
  ForEachLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

std::string JoinLines(const TStringList& lines) {
  std::size_t size = 0;
  for (const auto& l : lines) size += l.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& l : lines) {
    text += l;
    text += "\r\n";
  }
  return text;
}

bool LineEndsAreNormal(std::string_view text) {
  if (!text.empty() && !text.ends_with("\r\n")) return false;
  std::size_t newlines = 0;
  for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
    if (at == 0 || text[at - 1] != '\r') return false;
    ++newlines;
  }
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')) == newlines;
}

std::string NormalizeLineEnds(std::string_view text) {
  return LineEndsAreNormal(text) ? std::string(text) : JoinLines(SplitLines(text));
}

std::string TooLargeText(const std::string& fileName, std::uint64_t maxSize) {
  return "The file \"" + fileName + "\" is too large to be read (more than " + std::to_string(maxSize) + " bytes).";
}

std::string ReadFileBytes(const std::string& fileName, std::uint64_t maxSize) {
  std::string real = ResolvePath(fileName);
  if (const std::string* kept = KeptFileBytes(real); kept && kept->size() <= maxSize) return *kept;
  const std::string what = "Cannot open file \"" + fileName + "\"";
  if (DirectoryExists(real)) ThrowOS(what, SystemCodeOfErrno(EISDIR));
  if (real.empty()) ThrowOS(what, SystemCodeOfErrno(ENOENT));
  std::string bytes = ReadRegularFile(real, fileName, maxSize);
  KeepFileBytes(real, bytes);
  return bytes;
}

void ForEachFileLine(const std::string& fileName, const std::function<void(std::string_view line)>& line) {
  const TFileReader file(fileName);
  constexpr std::size_t Block = 1 << 16;
  std::string pending;  // what follows the last complete line
  for (std::uint64_t at = 0;;) {
    const std::string block = file.ReadAt(at, Block);
    if (block.empty()) break;
    at += block.size();
    pending += block;
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = pending.find_first_of("\r\n", start);
      // A CR at the end of what is read may be the first half of a CR LF.
      if (end == std::string::npos || (pending[end] == '\r' && end + 1 == pending.size())) break;
      line(std::string_view(pending).substr(start, end - start));
      start = end + (pending[end] == '\r' && pending[end + 1] == '\n' ? 2 : 1);
    }
    pending.erase(0, start);
  }
  if (pending.empty()) return;
  if (pending.back() == '\r') pending.pop_back();
  line(pending);
}

TStringList ReadTextLines(const std::string& fileName) {
  return SplitLines(ReadFileBytes(fileName));
}

namespace {

// Writes all bytes and closes the file; 0, or the system's error code.
int WriteAndClose(TFilePtr& f, std::string_view bytes, const std::string& target) {
  ClearLibraryError();
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  int code = ok ? 0 : LastLibraryErrorCode(EIO);
  ok = std::fflush(f.get()) == 0 && ok;
  if (!ok && !code) code = LastLibraryErrorCode(EIO);
  if (ok) code = InjectedFault(target, TWriteStage::wsWritten);
  ok = ok && code == 0;
  ok = std::fclose(f.release()) == 0 && ok;
  if (!ok && !code) code = LastLibraryErrorCode(EIO);
  return ok ? 0 : code;
}

}  // namespace

namespace {

// Where a write of a resolved name goes: through its links to the file they
// lead to, which is replaced in their place. What was kept of the names on
// the way no longer holds then.
std::string LinkedFile(const std::string& resolved, const std::string& what) {
  std::string file;
  try {
    file = FollowLinks(resolved);
  } catch (const TError& e) {
    throw TOSError(what + ". " + e.what(), SystemCodeOfErrno(ENOENT));
  }
  if (file != resolved) ForgetKeptFileFacts();
  return file;
}

}  // namespace

void WriteFileBytes(const std::string& fileName, std::string_view bytes) {
  const std::string what = "Cannot create file \"" + fileName + "\"";
  std::string target = ResolvePath(fileName);
  if (target.empty()) ThrowOS(what, SystemCodeOfErrno(ENOENT));
  target = LinkedFile(target, what);
  if (DirectoryExists(target)) ThrowOS(what, SystemCodeOfErrno(EISDIR));
  const bool replacing = FileExists(target);
  if (replacing && IsReadOnly(target)) ThrowOS(what, SystemCodeOfErrno(EACCES));
  // A file that holds these bytes already is left as it is: a build writes
  // the same configuration and resource script again and again.
  if (replacing && FileSize(target) == bytes.size()) {
    std::string current;
    try {
      current = ReadFileBytes(target, bytes.size());
    } catch (const TError&) {
      current.clear();
    }
    if (current.size() == bytes.size() && current == bytes) return;
  }
  TFileWriter writer(fileName);
  writer.Write(bytes);
  writer.Commit();
}

// Written beside the target and renamed to its name, whether one stands there
// or not: a kill at any moment leaves the old file (or none) whole, and at
// worst a file beside it that the next save removes. Not flushed to the disk:
// a build manager's files are not worth a wait for the disk.
TFileWriter::TFileWriter(const std::string& fileName)
    : Name(fileName), What("Cannot create file \"" + fileName + "\"") {
  Target = ResolvePath(fileName);
  if (Target.empty()) ThrowOS(What, SystemCodeOfErrno(ENOENT));
  Target = LinkedFile(Target, What);
  if (DirectoryExists(Target)) ThrowOS(What, SystemCodeOfErrno(EISDIR));
  if (FileExists(Target) && IsReadOnly(Target)) ThrowOS(What, SystemCodeOfErrno(EACCES));
  RemoveLeftovers(Target);
  Temp = SiblingTempName(Target);
  ClearLibraryError();
  // Not handed to the programs the build starts (Windows would by default):
  // one that outlives the build would keep the file open, and the rename
  // that puts it in place would fail.
#ifdef _WIN32
  File = std::fopen(Temp.c_str(), "wbN");
#else
  File = std::fopen(Temp.c_str(), "wb");
#endif
  if (!File) ThrowOS(What, LastLibraryErrorCode(EACCES));
  if (const int code = InjectedFault(Target, TWriteStage::wsOpened)) Fail(code);
}

TFileWriter::~TFileWriter() {
  if (!File) return;
  std::fclose(static_cast<std::FILE*>(File));
  std::remove(Temp.c_str());
}

void TFileWriter::Fail(int code) {
  std::fclose(static_cast<std::FILE*>(File));
  File = nullptr;
  std::remove(Temp.c_str());
  ThrowOS(What, code);
}

void TFileWriter::Write(std::string_view bytes) {
  if (!File) ThrowOS(What, SystemCodeOfErrno(EBADF));
  ClearLibraryError();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), static_cast<std::FILE*>(File)) != bytes.size())
    Fail(LastLibraryErrorCode(EIO));
}

void TFileWriter::Commit() {
  if (!File) ThrowOS(What, SystemCodeOfErrno(EBADF));
  TFilePtr f(static_cast<std::FILE*>(File));
  File = nullptr;
  if (const int code = WriteAndClose(f, std::string_view(), Target)) {
    f.reset();
    std::remove(Temp.c_str());
    ThrowOS(What, code);
  }
  namespace fs = std::filesystem;
  std::error_code ec;
  // The new file keeps the permissions of the one it replaces.
  if (FileExists(Target)) {
    auto status = fs::status(Target, ec);
    if (!ec && fs::exists(status)) fs::permissions(Temp, status.permissions(), ec);
    ec.clear();
  }
  fs::rename(Temp, Target, ec);
  if (ec) {
    std::remove(Temp.c_str());
    ThrowOS(What, SystemCodeOf(ec));
  }
  NoteDirectoryEntry(Target, true);
}

void AppendFileBytes(const std::string& fileName, std::string_view bytes) {
  const std::string what = "Cannot create file \"" + fileName + "\"";
  std::string target = ResolvePath(fileName);
  if (target.empty()) ThrowOS(what, SystemCodeOfErrno(ENOENT));
  target = LinkedFile(target, what);
  if (DirectoryExists(target)) ThrowOS(what, SystemCodeOfErrno(EISDIR));
  if (FileExists(target) && IsReadOnly(target)) ThrowOS(what, SystemCodeOfErrno(EACCES));
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto before = fs::exists(target, ec) ? fs::file_size(target, ec) : 0;
  ClearLibraryError();
  TFilePtr f(std::fopen(target.c_str(), "ab"));
  if (!f) ThrowOS(what, LastLibraryErrorCode(EACCES));
  int code = InjectedFault(target, TWriteStage::wsOpened);
  if (!code) code = WriteAndClose(f, bytes, target);
  if (code) {
    f.reset();
    fs::resize_file(target, before, ec);  // never leave half a line behind
    ThrowOS(what, code);
  }
  NoteDirectoryEntry(target, true);
}

void WriteTextLines(const std::string& fileName, const TStringList& lines) {
  WriteFileBytes(fileName, JoinLines(lines));
}

TWriteFault SetWriteFault(TWriteFault fault) {
  return std::exchange(WriteFaultHook(), std::move(fault));
}

}  // namespace platform
