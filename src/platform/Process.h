#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"
#include "platform/FileSystem.h"

// Starting other programs. A command line is one string, as Windows takes it;
// on POSIX it is split into arguments by the Windows rules. A program name
// without a directory is looked for in the current directory first, then on
// PATH. A Windows program (a file starting with "MZ") is started through
// `wine` where the system cannot run it and `wine` is on the PATH.
namespace platform {

// Splits a command line as Windows programs do (CommandLineToArgvW and the C
// runtime: quotes, backslashes before quotes, "" inside quotes). Never throws.
//
// Blanks (space, tab) separate arguments; leading blanks are skipped, so a
// blank line gives no arguments at all. The first argument, the program name,
// knows no escapes: it runs to the next blank, or from an opening quote to the
// next quote (what follows that quote starts the second argument). In every
// later argument:
//   - "..." quotes a run in which blanks are kept;
//   - 2n backslashes and a quote give n backslashes, and the quote toggles;
//   - 2n+1 backslashes and a quote give n backslashes and a literal quote;
//   - backslashes not followed by a quote are literal;
//   - "" inside a quoted run gives a literal quote and the run goes on (the
//     rule of the C runtime since 2008: "a""b c" is one argument a"b c);
//   - an empty quoted run ("") is an empty argument.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The inverse of SplitCommandLine for one argument after the first: the text
// unchanged when it holds no blank or quote and is not empty, else a quoted
// run with the backslashes before quotes and at the end doubled.
std::string QuoteArgument(std::string_view arg);
// The program name as it must stand first: quoted when empty or when it holds
// a blank. A name holding a quote and a blank cannot be written (Windows file
// names hold no quotes).
std::string QuoteProgramName(std::string_view name);
// Arguments joined into one command line that SplitCommandLine gives back.
std::string JoinCommandLine(const std::vector<std::string>& args);

enum class TRunStage {
  rsRan,               // the child was started and has ended
  rsInputOpenFailed,   // the input file could not be opened
  rsOutputOpenFailed,  // the output file could not be created
  rsStartFailed,       // the child could not be started
};

struct TRunResult {
  TRunStage Stage = TRunStage::rsStartFailed;
  int ErrorCode = 0;  // the system's error code when not rsRan (2: not found)
  int ExitCode = 0;   // the child's exit code when rsRan (a signal gives 128+n)
  // The child was ended before it finished (see TEndChild), and why.
  bool Ended = false;
  std::string EndReason;
};

// Called as soon as the child runs and again and again while RunRedirected
// waits for it, at most WaitCallbackIntervalMs apart, so that a front end
// keeps its window alive during a long compile, and can do what it has to do
// while the child runs rather than between children. A TEndChild from it
// ends the child (below). Any other exception ends the calls; the child is
// still waited for, and the exception then reaches RunRedirected's caller.
using TWaitCallback = std::function<void()>;
inline constexpr int WaitCallbackIntervalMs = 50;

// Thrown by a wait callback to end the child before it finishes (a time
// limit, a stop request): RunRedirected ends the child and every process it
// started (on POSIX its process group, asked to terminate and killed after
// ChildEndGraceMs; on Windows its job object), waits for it, and returns as
// for any child that ran, with Ended set and EndReason = what().
class TEndChild : public TError {
 public:
  using TError::TError;
};
inline constexpr int ChildEndGraceMs = 2000;

// Runs a command line hidden, standard input from inputFile (opened for
// reading and writing, or for reading alone where it may only be read;
// created when missing), standard output and standard error both into
// outputFile (created anew, emptied when it exists), in the current directory
// with the parent's environment, and waits for the child without a time limit
// (calling whileWaiting meanwhile, when given). The child starts in a process
// group (POSIX) or job object (Windows) of its own, so that it can be ended
// with everything it started; nothing else changes for it.
// Names and command lines have no length limit of their own.
//
// A failure also sets LastOSErrorCode(). An empty command line and a program
// that cannot be found fail to start with code 2 (ENOENT). On POSIX a Windows
// program goes through `wine` found on PATH; without `wine` the start fails
// with code 8 (ENOEXEC, "Exec format error"). The child inherits the parent's
// priority there: raising it needs privileges that a build manager lacks. A
// child that could not be waited for (SIGCHLD ignored) counts as run with exit
// code -1.
TRunResult RunRedirected(const std::string& commandLine, const std::string& inputFile, const std::string& outputFile,
                         const TWaitCallback& whileWaiting = {});

// The output of the child that RunRedirected waits for (while it calls its
// wait callback) or last waited for (until the next run starts): the file
// itself, and how many bytes the child has written into it (the position of
// the file, which the child shares). Beyond them the file may still hold bytes
// of an earlier run until the child has ended. Nothing before a child was
// waited for, and after a run whose child never started.
struct TChildOutput {
  TFileKey File;
  std::uint64_t Written = 0;
  bool operator==(const TChildOutput&) const = default;
};
std::optional<TChildOutput> ChildOutput();

// The last error code (errno / GetLastError values) that a failed platform
// call of this thread left behind; 0 when none has failed. Kept per thread
// because errno itself is overwritten by the next library call.
int LastOSErrorCode();
// Remembers an error code so that the next LastOSErrorCode() reports it, the
// way a failed Win32 call leaves GetLastError behind.
void SetLastOSErrorCode(int code);

// Finds the program that a command line's first word names; "" when there is
// none. A name with a directory part is taken as it is (any existing file);
// a bare name is looked for in the current directory, then in each directory
// of PATH. In each place
// the name itself is tried, then, when it has no extension, the name with
// ".exe". Names resolve without regard to letter case, as every file name of
// the system does. On POSIX only files with an execute permission, or Windows
// programs, count (as a shell's search skips other files). A name found in
// the current directory comes back absolute.
std::string FindProgram(const std::string& name);
// The same search on PATH alone (no current directory, bare names only).
std::string SearchPathFor(const std::string& name);

// This process's id, and whether a process of that id runs (on this machine).
long CurrentProcessId();
bool ProcessIsRunning(long pid);

// Whether a file is a Windows program: it starts with "MZ". Always false on
// Windows, where the system starts such files itself.
bool IsWindowsProgram(const std::string& path);

}  // namespace platform
