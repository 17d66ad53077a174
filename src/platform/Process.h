#pragma once

#include <string>
#include <string_view>
#include <vector>

// Starting other programs. A command line is one string, as Windows takes it;
// on POSIX it is split into arguments by the Windows rules. A program name
// without a directory is looked for in the current directory first, then on
// PATH. A Windows program (a file starting with "MZ") is started through
// `wine` where the system cannot run it and `wine` is on the PATH.
namespace platform {

// Splits a command line as CommandLineToArgvW does (quotes, backslashes before
// quotes, "" inside quotes). Never throws.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

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
};

// Runs a command line hidden, standard input from inputFile (opened for
// reading, created when missing), standard output and standard error both into
// outputFile (created anew, emptied when it exists), in the current directory
// with the parent's environment, and waits for the child without a time limit.
TRunResult RunRedirected(const std::string& commandLine, const std::string& inputFile,
                         const std::string& outputFile);

// The system's last error code (errno / GetLastError) as it stands now.
int LastOSErrorCode();
// Remembers an error code so that the next LastOSErrorCode() reports it, the
// way a failed Win32 call leaves GetLastError behind.
void SetLastOSErrorCode(int code);

// Finds the program that a command line's first word names, by the rules
// above; "" when there is none.
std::string FindProgram(const std::string& name);

}  // namespace platform
