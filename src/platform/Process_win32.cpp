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
  // The child starts suspended and runs in a job object of its own, so that
  // it can be ended with every process it starts.
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, HIGH_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr,
                      nullptr, &startup, &info))
    return Failed(TRunStage::rsStartFailed, GetLastError());
  process.H = info.hProcess;
  thread.H = info.hThread;
  THandle job;
  job.H = CreateJobObjectA(nullptr, nullptr);
  // Where the job cannot be had (a system that nests no jobs), the child
  // alone is ended.
  if (job.Valid() && !AssignProcessToJobObject(job.H, info.hProcess)) {
    CloseHandle(job.H);
    job.H = nullptr;
  }
  ResumeThread(info.hThread);

  TRunResult result;
  result.Stage = TRunStage::rsRan;
  if (!whileWaiting) {
    WaitForSingleObject(info.hProcess, INFINITE);
  } else {
    while (WaitForSingleObject(info.hProcess, WaitCallbackIntervalMs) == WAIT_TIMEOUT) {
      try {
        whileWaiting();
      } catch (const TEndChild& end) {
        result.Ended = true;
        result.EndReason = end.what();
        if (!job.Valid() || !TerminateJobObject(job.H, 1)) TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, INFINITE);
        break;
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

long CurrentProcessId() {
  return static_cast<long>(GetCurrentProcessId());
}

bool ProcessIsRunning(long pid) {
  if (pid <= 0) return false;
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (h == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to see
  const bool running = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return running;
}

}  // namespace platform
