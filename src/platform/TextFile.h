#pragma once

#include <cstdint>
#include <functional>
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
// The same lines as views into the text.
std::vector<std::string_view> SplitLineViews(std::string_view text);
// Every line followed by CR LF.
std::string JoinLines(const TStringList& lines);
// A text split and joined again: CR LF after every line (a non-empty result
// always ends in CR LF).
std::string NormalizeLineEnds(std::string_view text);
// Every line ends with CR LF and no CR stands alone: NormalizeLineEnds would
// give the text back unchanged (most texts are written so already).
bool LineEndsAreNormal(std::string_view text);

// The largest file read as text or profile data; bigger ones are refused with
// a clear message rather than read into memory.
inline constexpr std::uint64_t MaxTextFileSize = 256ull * 1024 * 1024;

// Reads a file as lines. Throws TOSError when it cannot be read ("Cannot open
// file "<name>". <reason>"), TError when it is larger than MaxTextFileSize or
// is no regular file (a pipe or a device, which could keep a read waiting).
TStringList ReadTextLines(const std::string& fileName);
// Calls line with each line of a file, split as SplitLines does, reading the
// file a block at a time: a file of any size costs its longest line. Opening
// fails as TFileReader does (TOSError, TError for no regular file).
void ForEachFileLine(const std::string& fileName, const std::function<void(std::string_view line)>& line);
// Reads a whole file as bytes, with the same limits.
std::string ReadFileBytes(const std::string& fileName, std::uint64_t maxSize = MaxTextFileSize);
// Writes lines with CR LF after each, replacing the file. The new content is
// written beside the file (<name>.~<process id>-<n>.tmp) and renamed to the
// name, so the file is whole or not there at any moment: a failure or a kill
// never leaves a truncated or empty file, neither where one stood nor where
// none did. Such leftovers of a killed save (their process has ended) are
// removed by the next save of the same file. A read-only file is not replaced
// (fails as on Windows). Throws TOSError ("Cannot create file "<name>".
// <reason>"). The name resolves like every other, so an existing file keeps
// the letter case of its name.
void WriteTextLines(const std::string& fileName, const TStringList& lines);
void WriteFileBytes(const std::string& fileName, std::string_view bytes);
// A file written a piece at a time and put in place whole by Commit, the way
// WriteFileBytes writes (beside it, then renamed; through links; a read-only
// file refused): until then, and when Commit is never reached, the file is as
// it was. For texts too large to be made in memory first. Throws TOSError
// ("Cannot create file ..."), also from Write and Commit.
class TFileWriter {
 public:
  explicit TFileWriter(const std::string& fileName);
  ~TFileWriter();
  TFileWriter(const TFileWriter&) = delete;
  TFileWriter& operator=(const TFileWriter&) = delete;
  void Write(std::string_view bytes);
  void Commit();

 private:
  [[noreturn]] void Fail(int code);
  std::string Name, What, Target, Temp;
  void* File = nullptr;
};

// Adds bytes to the end of a file (creating it when missing). What the file
// held stays as it was; a failed append is cut off again. A read-only file is
// refused like a write. Throws TOSError.
void AppendFileBytes(const std::string& fileName, std::string_view bytes);

// A seam for tests of failing writes: called by WriteFileBytes and
// AppendFileBytes with the file's resolved name once the file (or the one
// written beside it) is open (wsOpened) and again once every byte is in it
// (wsWritten). A non-zero answer is a system error code that fails the write
// at that point, as a full disk does; a test may also end the process there.
// Installs the hook (an empty one for none) and gives back the one it replaces.
enum class TWriteStage { wsOpened, wsWritten };
using TWriteFault = std::function<int(const std::string& fileName, TWriteStage stage)>;
TWriteFault SetWriteFault(TWriteFault fault);

}  // namespace platform
