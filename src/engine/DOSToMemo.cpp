#include "engine/DOSToMemo.h"

#include <chrono>
#include <exception>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/Process.h"
#include "platform/TextFile.h"

namespace {

TRunHook& Hook() {
  static TRunHook hook;
  return hook;
}

TRunIdleHook& IdleHook() {
  static TRunIdleHook hook;
  return hook;
}

TRunStopCheck& StopCheck() {
  static TRunStopCheck check;
  return check;
}

std::string& RunningOutput() {
  static std::string file;
  return file;
}

double& TimeLimit() {
  static double seconds = 0;
  return seconds;
}

std::string StopAnswer() {
  return StopCheck() ? StopCheck()() : std::string();
}

// The program a command line names, without its directory, for the lines
// that say what became of it.
std::string ProgramOf(const std::string& commandLine) {
  const auto args = platform::SplitCommandLine(commandLine);
  return args.empty() ? std::string("The command") : platform::ExtractFileName(args.front());
}

std::string SecondsText(double seconds) {
  std::string text = platform::FormatFixed2(seconds);
  while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) text.pop_back();
  return text;
}

// Adds a line to the end of a command's output, on a line of its own.
void AddLastLine(const std::string& outputFile, const std::string& line) {
  std::string bytes;
  try {
    bytes = platform::ReadFileBytes(outputFile);
  } catch (const std::exception&) {
    bytes = "?";  // unknown: start a line of its own
  }
  const bool atLineStart = bytes.empty() || bytes.back() == '\n' || bytes.back() == '\r';
  platform::AppendFileBytes(outputFile, (atLineStart ? "" : "\r\n") + line + "\r\n");
}

// Brackets a run with the hook: starting on construction, ended on
// destruction, whichever way the run leaves.
class THookCall {
 public:
  THookCall() {
    if (Hook()) Hook()(true);
  }
  THookCall(const THookCall&) = delete;
  THookCall& operator=(const THookCall&) = delete;
  ~THookCall() {
    try {
      if (Hook()) Hook()(false);
    } catch (...) {
      // The end of a run must not end the program.
    }
  }
};

// The failure text for a file that could not be opened. The two blanks after
// "redirected" (once the prefix is added) and "aninvalid" are what users and
// their log scanners have always seen.
std::string OpenFailureText(const char* which, const std::string& fileName, const std::string& incoming) {
  return std::string("DOS redirected \n\nWinApi function CreateFile returned aninvalid handle value\nfor the ") +
         which + " file * " + fileName + " *\n\n" + incoming;
}

}  // namespace

TRunHook SetRunHook(TRunHook hook) {
  return std::exchange(Hook(), std::move(hook));
}

TRunIdleHook SetRunIdleHook(TRunIdleHook hook) {
  return std::exchange(IdleHook(), std::move(hook));
}

void TRunIdleTicks::CallWhenDue() {
  // Well within the tenth of a second after which a window seems to hang.
  const auto now = std::chrono::steady_clock::now();
  if (now - Last < std::chrono::milliseconds(25)) return;
  if (IdleHook()) IdleHook()();
  Last = std::chrono::steady_clock::now();
}

std::string RunningOutputFile() {
  return RunningOutput();
}

TRunStopCheck SetRunStopCheck(TRunStopCheck check) {
  return std::exchange(StopCheck(), std::move(check));
}

double SetRunTimeLimit(double seconds) {
  return std::exchange(TimeLimit(), seconds > 0 ? seconds : 0);
}

bool RunDosRedirected(const std::string& commandLine, const std::string& inputFile, const std::string& outputFile,
                      std::string& errorMessage, bool* ended, int* exitCode) {
  if (ended) *ended = false;
  if (exitCode) *exitCode = 0;
  if (const std::string why = StopAnswer(); !why.empty()) {
    const std::string line = ProgramOf(commandLine) + " was not started: " + why;
    try {
      platform::WriteTextLines(outputFile, {line});
    } catch (const std::exception&) {
      // The message tells it all the same.
    }
    errorMessage = "DOS redirected  failed: " + line;
    return false;
  }
  std::string input = inputFile;
  if (!platform::FileExists(inputFile)) {
    input = "tmpInput.txt";
    platform::WriteTextLines(input, {"fake input file"});
  }

  // The wait looks after the window, the stop check and the time limit;
  // without any of them the runner simply waits.
  platform::TWaitCallback whileWaiting;
  const double limit = TimeLimit();
  if (IdleHook() || StopCheck() || limit > 0) {
    const auto started = std::chrono::steady_clock::now();
    whileWaiting = [started, limit] {
      if (IdleHook()) IdleHook()();
      if (std::string why = StopAnswer(); !why.empty()) throw platform::TEndChild(why);
      if (limit > 0 && std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() > limit)
        throw platform::TEndChild("it ran longer than " + SecondsText(limit) + (limit == 1 ? " second" : " seconds"));
    };
  }

  // Named from before the hook is told that the command starts until after
  // it is told that it ended, so that the hook can read all of its output.
  struct TRunningOutput {
    explicit TRunningOutput(const std::string& file) { RunningOutput() = file; }
    ~TRunningOutput() { RunningOutput().clear(); }
    TRunningOutput(const TRunningOutput&) = delete;
    TRunningOutput& operator=(const TRunningOutput&) = delete;
  } runningOutput(outputFile);
  THookCall hookCall;
  try {
    const platform::TRunResult result = platform::RunRedirected(commandLine, input, outputFile, whileWaiting);
    if (result.Stage != platform::TRunStage::rsRan) platform::SetLastOSErrorCode(result.ErrorCode);
    switch (result.Stage) {
      case platform::TRunStage::rsRan:
        if (exitCode) *exitCode = result.ExitCode;
        if (result.Ended) {
          if (ended) *ended = true;
          AddLastLine(outputFile, ProgramOf(commandLine) + " was ended: " + result.EndReason);
        }
        return true;
      case platform::TRunStage::rsInputOpenFailed:
        errorMessage = "DOS redirected  failed: " + OpenFailureText("input", input, errorMessage);
        return false;
      case platform::TRunStage::rsOutputOpenFailed:
        errorMessage = "DOS redirected  failed: " + OpenFailureText("output", outputFile, errorMessage);
        return false;
      case platform::TRunStage::rsStartFailed:
        break;
    }
    errorMessage = "DOS redirected  failed: WINAPI Error Code = " + std::to_string(result.ErrorCode);
    return false;
  } catch (const std::exception& e) {
    errorMessage = std::string("DOS redirected  failed: ") + e.what();
    return false;
  }
}
