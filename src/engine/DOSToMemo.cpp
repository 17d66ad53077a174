#include "engine/DOSToMemo.h"

#include <exception>
#include <utility>

#include "platform/FileSystem.h"
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

bool RunDosRedirected(const std::string& commandLine, const std::string& inputFile, const std::string& outputFile,
                      std::string& errorMessage) {
  std::string input = inputFile;
  if (!platform::FileExists(inputFile)) {
    input = "tmpInput.txt";
    platform::WriteTextLines(input, {"fake input file"});
  }

  THookCall hookCall;
  try {
    const platform::TRunResult result = platform::RunRedirected(commandLine, input, outputFile, IdleHook());
    if (result.Stage != platform::TRunStage::rsRan) platform::SetLastOSErrorCode(result.ErrorCode);
    switch (result.Stage) {
      case platform::TRunStage::rsRan:
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
