// tesmar-test-child: a program for the tests to start, the same on every
// system, so that no test needs a shell. It carries out its arguments as
// commands, in order:
//
//   out TEXT          TEXT and a line end on standard output
//   err TEXT          TEXT and a line end on standard error
//   cat               standard input copied to standard output
//   args              every argument after it as "[arg]" on a line of its own
//   self              the full name of this program
//   hold FILE         makes FILE and holds it locked until the program
//                     ends (see ChildHolds in TestDir.h)
//   spawn FILE        starts this program again, sleeping for a minute, and
//                     writes that process's id and a line end to FILE
//   sleep MS          waits MS milliseconds
//   flood BYTES TEXT  TEXT lines on standard output, BYTES bytes in all
//   exit N            ends with exit code N
//   crash             ends by a memory access fault (SIGSEGV; on Windows an
//                     unhandled access violation)
//
// A copy of this program under another name (DCC32.exe, tool.exe) stands in
// for a tool that is started with the tool's own arguments: it carries out
// the words of the environment variable TESMAR_TEST_CHILD (split as a command
// line is) and ignores its arguments.
//
// Output is bytes: line ends are LF on every system.

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Process.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>

extern char** environ;
#endif

namespace {

void Write(std::FILE* to, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), to);
  std::fflush(to);
}

#ifdef _WIN32
// The fault ends the process with its exception code, as where no debugger
// is installed: no error box waits for a user, and no debugger (Wine starts
// its own) writes into the output.
LONG WINAPI EndWithTheFault(EXCEPTION_POINTERS*) {
  return EXCEPTION_EXECUTE_HANDLER;
}
#endif

[[noreturn]] void Crash() {
#ifdef _WIN32
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(EndWithTheFault);
  RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
#else
  std::signal(SIGSEGV, SIG_DFL);
  std::raise(SIGSEGV);
#endif
  std::abort();
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// Locks a file until the process ends, when the system lets it go: the
// handle, or the descriptor, is never closed.
bool Hold(const std::string& name) {
#ifdef _WIN32
  return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr) != INVALID_HANDLE_VALUE;
#else
  const int fd = open(name.c_str(), O_RDWR | O_CREAT, 0666);
  return fd >= 0 && flock(fd, LOCK_EX) == 0;
#endif
}

// Starts this program sleeping for a minute, apart from this one; its
// process id, or -1.
long SpawnSleeper() {
  const std::string self = platform::ProgramFile();
#ifdef _WIN32
  std::string line = platform::QuoteProgramName(self) + " sleep 60000";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return -1;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return static_cast<long>(info.dwProcessId);
#else
  std::vector<std::string> args{self, "sleep", "60000"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  return posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
#endif
}

int Usage(const std::string& what) {
  Write(stderr, "tesmar-test-child: " + what + "\n");
  return 125;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  std::vector<std::string> words(argv, argv + argc);
  const std::string name = platform::ChangeFileExt(platform::ExtractFileName(platform::ProgramFile()), "");
  if (!SameName(name, "tesmar-test-child")) {
    const char* script = std::getenv("TESMAR_TEST_CHILD");
    words = platform::SplitCommandLine(std::string("child ") + (script ? script : ""));
  }

  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& command = words[i];
    auto operand = [&]() -> const std::string* { return i + 1 < words.size() ? &words[++i] : nullptr; };
    if (command == "out" || command == "err") {
      const std::string* text = operand();
      if (!text) return Usage(command + " needs a text");
      Write(command == "out" ? stdout : stderr, *text + "\n");
    } else if (command == "cat") {
      char buffer[65536];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) std::fwrite(buffer, 1, n, stdout);
      std::fflush(stdout);
    } else if (command == "args") {
      while (++i < words.size()) Write(stdout, "[" + words[i] + "]\n");
    } else if (command == "self") {
      Write(stdout, platform::ProgramFile() + "\n");
    } else if (command == "hold") {
      const std::string* file = operand();
      if (!file || !Hold(*file)) return Usage("hold needs a file it can lock");
    } else if (command == "spawn") {
      const std::string* file = operand();
      const long pid = file ? SpawnSleeper() : -1;
      if (pid <= 0) return Usage("spawn needs a file, and a process it can start");
      std::FILE* out = std::fopen(file->c_str(), "wb");
      if (!out) return Usage("spawn cannot write " + *file);
      std::fprintf(out, "%ld\n", pid);
      std::fclose(out);
    } else if (command == "sleep") {
      const std::string* ms = operand();
      if (!ms) return Usage("sleep needs milliseconds");
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(ms->c_str())));
    } else if (command == "flood") {
      const std::string* bytes = operand();
      const std::string* text = operand();
      if (!bytes || !text) return Usage("flood needs a size and a text");
      const std::string line = *text + "\n";
      std::string block;
      while (block.size() < 65536) block += line;
      long long left = std::atoll(bytes->c_str());
      while (left > 0) {
        const std::size_t n =
            left < static_cast<long long>(block.size()) ? static_cast<std::size_t>(left) : block.size();
        std::fwrite(block.data(), 1, n, stdout);
        left -= static_cast<long long>(n);
      }
      std::fflush(stdout);
    } else if (command == "exit") {
      const std::string* code = operand();
      if (!code) return Usage("exit needs a code");
      return std::atoi(code->c_str());
    } else if (command == "crash") {
      Crash();
    } else {
      return Usage("unknown command " + command);
    }
  }
  return 0;
}
