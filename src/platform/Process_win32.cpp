#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

#include "platform/Process.h"

namespace platform {

namespace {

// A handle closed on scope exit.
class THandle {
 public:
  THandle() = default;
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  ~THandle() {
    if (H != nullptr && H != INVALID_HANDLE_VALUE) CloseHandle(H);
  }
  bool Valid() const { return H != nullptr && H != INVALID_HANDLE_VALUE; }
  HANDLE H = INVALID_HANDLE_VALUE;
};

// Names of MAX_PATH characters and more are passed in their "\\?\" form,
// which the file functions accept at any length.
std::string LongName(const std::string& name) {
  if (name.size() < MAX_PATH || name.rfind("\\\\?\\", 0) == 0) return name;
  DWORD size = GetFullPathNameA(name.c_str(), 0, nullptr, nullptr);
  if (size == 0) return name;
  std::vector<char> buffer(size + 1);
  size = GetFullPathNameA(name.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (size == 0 || size >= buffer.size()) return name;
  std::string full(buffer.data(), size);
  if (full.rfind("\\\\", 0) == 0) return "\\\\?\\UNC\\" + full.substr(2);
  return "\\\\?\\" + full;
}

HANDLE OpenForChild(const std::string& name, DWORD disposition) {
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.bInheritHandle = TRUE;
  return CreateFileA(LongName(name).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     &security, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
}

TRunResult Failed(TRunStage stage, DWORD code) {
  SetLastOSErrorCode(static_cast<int>(code));
  TRunResult result;
  result.Stage = stage;
  result.ErrorCode = static_cast<int>(code);
  return result;
}

}  // namespace

TRunResult RunRedirected(const std::string& commandLine, const std::string& inputFile, const std::string& outputFile,
                         const TWaitCallback& whileWaiting) {
  // Declared so that they close in this order: output, input, thread, process.
  THandle process;
  THandle thread;
  THandle input;
  THandle output;

  input.H = OpenForChild(inputFile, OPEN_ALWAYS);
  if (!input.Valid()) return Failed(TRunStage::rsInputOpenFailed, GetLastError());
  output.H = OpenForChild(outputFile, CREATE_ALWAYS);
  if (!output.Valid()) return Failed(TRunStage::rsOutputOpenFailed, GetLastError());

  // An empty line names no program; say so as for one that is not found.
  if (SplitCommandLine(commandLine).empty()) return Failed(TRunStage::rsStartFailed, ERROR_FILE_NOT_FOUND);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = input.H;
  startup.hStdOutput = output.H;
  startup.hStdError = output.H;

  // CreateProcessA may write into the command line: give it a copy of any
  // length (the system's own limit is 32767 characters).
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, HIGH_PRIORITY_CLASS, nullptr, nullptr, &startup,
                      &info))
    return Failed(TRunStage::rsStartFailed, GetLastError());
  process.H = info.hProcess;
  thread.H = info.hThread;

  TRunResult result;
  result.Stage = TRunStage::rsRan;
  if (!whileWaiting) {
    WaitForSingleObject(info.hProcess, INFINITE);
  } else {
    while (WaitForSingleObject(info.hProcess, WaitCallbackIntervalMs) == WAIT_TIMEOUT) {
      try {
        whileWaiting();
      } catch (...) {
        WaitForSingleObject(info.hProcess, INFINITE);
        throw;
      }
    }
  }
  DWORD exitCode = 0;
  result.ExitCode = GetExitCodeProcess(info.hProcess, &exitCode) ? static_cast<int>(exitCode) : -1;
  return result;
}

}  // namespace platform
