#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <utility>
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

// The name in UTF-16, read as the ANSI functions read it (the system's code page).
std::wstring Wide(const std::string& name) {
  const int size = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  if (size > 0) MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), size);
  return wide;
}

// The ANSI file functions stop at MAX_PATH characters, even for a "\\?\"
// name: a file is opened through the wide ones, and a name of MAX_PATH
// characters and more in its "\\?\" form, which has no such limit.
std::wstring NameForOpen(const std::string& name) {
  std::wstring wide = Wide(name);
  if (wide.size() < MAX_PATH || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return wide;
  std::vector<wchar_t> buffer(size + 1);
  size = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (size == 0 || size >= buffer.size()) return wide;
  std::wstring full(buffer.data(), size);
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

HANDLE OpenForChild(const std::string& name, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.bInheritHandle = TRUE;
  return CreateFileW(NameForOpen(name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, disposition,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
}

// The output of the child being waited for, and of the last one waited for,
// told by ChildOutput.
HANDLE WaitedOutput = nullptr;
std::optional<TChildOutput> LastOutput;

std::optional<TChildOutput> OutputOf(HANDLE output) {
  LARGE_INTEGER position{};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!SetFilePointerEx(output, LARGE_INTEGER{}, &position, FILE_CURRENT) || !GetFileInformationByHandle(output, &info))
    return std::nullopt;
  return TChildOutput{
      {info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow},
      static_cast<std::uint64_t>(position.QuadPart)};
}
struct TWaitedOutput {
  explicit TWaitedOutput(HANDLE output) : Previous(WaitedOutput) { WaitedOutput = output; }
  ~TWaitedOutput() { WaitedOutput = Previous; }
  TWaitedOutput(const TWaitedOutput&) = delete;
  TWaitedOutput& operator=(const TWaitedOutput&) = delete;
  HANDLE Previous;
};

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
  LastOutput.reset();
  // Declared so that they close in this order: output, input, thread, process.
  THandle process;
  THandle thread;
  THandle input;
  THandle output;

  // The input is opened for writing too, but a file that may only be read
  // (a read-only settings file) still serves as the child's input.
  input.H = OpenForChild(inputFile, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  if (!input.Valid() && GetLastError() == ERROR_ACCESS_DENIED)
    input.H = OpenForChild(inputFile, GENERIC_READ, OPEN_EXISTING);
  if (!input.Valid()) return Failed(TRunStage::rsInputOpenFailed, GetLastError());
  output.H = OpenForChild(outputFile, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
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
  // Wine now and then loses a new process before it has started (it fails
  // the start with an internal error); such a start is tried twice more.
  DWORD startError = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (attempt > 0) Sleep(50);
    std::vector<char> attemptLine = line;
    if (CreateProcessA(nullptr, attemptLine.data(), nullptr, nullptr, TRUE, HIGH_PRIORITY_CLASS | CREATE_SUSPENDED,
                       nullptr, nullptr, &startup, &info)) {
      startError = ERROR_SUCCESS;
      break;
    }
    startError = GetLastError();
    if (startError != ERROR_INTERNAL_ERROR) break;
  }
  if (startError != ERROR_SUCCESS) return Failed(TRunStage::rsStartFailed, startError);
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
  const TWaitedOutput waitedOutput(output.H);
  if (!whileWaiting) {
    WaitForSingleObject(info.hProcess, INFINITE);
  } else {
    // The first call at once, while the child runs; then at the interval.
    bool first = true;
    while (WaitForSingleObject(info.hProcess, std::exchange(first, false) ? 0 : WaitCallbackIntervalMs) ==
           WAIT_TIMEOUT) {
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
  LastOutput = OutputOf(output.H);
  DWORD exitCode = 0;
  result.ExitCode = GetExitCodeProcess(info.hProcess, &exitCode) ? static_cast<int>(exitCode) : -1;
  return result;
}

std::optional<TChildOutput> ChildOutput() {
  return WaitedOutput ? OutputOf(WaitedOutput) : LastOutput;
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
