#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

// The redirected console runner: the one way the system starts another
// program (the Delphi tools, the pre- and post-processing lines, the
// compiler's option listing). The caller reads the output file afterwards.

// Called with true just before a command starts and with false when the run
// is over, started or not; the GUI shows its busy cursor in between. Only a
// call that reaches the start is bracketed (a failure to write tmpInput.txt
// is not). Exceptions from the hook are not caught.
using TRunHook = std::function<void(bool starting)>;
// Installs the hook (an empty one for none) and gives back the one it
// replaces, so that a front end or a test can put the old one back.
TRunHook SetRunHook(TRunHook hook);

// Called at short intervals while a command runs (see platform::RunRedirected),
// so that the window repaints, shows the time and sees its Stop button during
// a long compile. Installs the hook (an empty one for none) and gives back the
// one it replaces. An exception from it is turned into the run's failure text
// once the command has ended.
using TRunIdleHook = std::function<void()>;
TRunIdleHook SetRunIdleHook(TRunIdleHook hook);

// Long work of a build between its commands (reading a large capture,
// writing its logs) ticks one of these at each step: now and then it calls
// the idle hook, when one is set, so that the window goes on answering.
class TRunIdleTicks {
 public:
  void Tick() {
    if (++Count % 1024 == 0) CallWhenDue();
  }

 private:
  void CallWhenDue();
  std::size_t Count = 0;
  std::chrono::steady_clock::time_point Last = std::chrono::steady_clock::now();
};

// The output file of the command running now, as RunDosRedirected was given
// it, also while the run hook is told that it starts and that it ended; ""
// while none runs. The hooks read it to show the output as it is written.
std::string RunningOutputFile();

// Asked before a command starts and again while it runs: a non-empty answer
// is why no command may run now (a build that is being interrupted). A
// command not yet started is then not started: RunDosRedirected gives false,
// and the output file holds the one line "<program> was not started: " +
// answer. A running command is ended with every process it started, and
// "<program> was ended: " + answer becomes the last line of its output.
// Installs the check (an empty one for none) and gives back the one it
// replaces.
using TRunStopCheck = std::function<std::string()>;
TRunStopCheck SetRunStopCheck(TRunStopCheck check);

// The longest a command may run, in seconds (0: no limit). One that runs
// longer is ended with every process it started, and "<program> was ended: it
// ran longer than <n> seconds" becomes the last line of its output. Gives back
// the limit it replaces.
double SetRunTimeLimit(double seconds);

// Runs one console command hidden, standard input from inputFile and standard
// output and standard error together into outputFile (created anew), in the
// current directory, and waits until the child has ended.
//
// When inputFile does not exist, "tmpInput.txt" is written in the current
// directory holding the line "fake input file" and used instead; a failure to
// write it is thrown (TOSError). Returns true when the child was started (its
// exit code is not looked at); errorMessage is then left exactly as it was.
// Returns false when it could not be started, errorMessage then holding the
// reason, and LastOSErrorCode() the system's code. Command lines and file
// names have no length limit. When given, ended tells whether the command was
// ended before it finished (the stop check or the time limit above), and
// exitCode the exit code of a command that ran (a signal gives 128+n on
// POSIX): the processing lines are judged by it, the Delphi tools are not.
bool RunDosRedirected(const std::string& commandLine, const std::string& inputFile, const std::string& outputFile,
                      std::string& errorMessage, bool* ended = nullptr, int* exitCode = nullptr);
