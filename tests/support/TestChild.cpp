// tesmar-test-child: a program for the tests to start, the same on every
// system, so that no test needs a shell. It carries out its arguments as
// commands, in order:
//
//   out TEXT          TEXT and a line end on standard output
//   err TEXT          TEXT and a line end on standard error
//   cat               standard input copied to standard output
//   args              every argument after it as "[arg]" on a line of its own
//   argv              the arguments this program was started with, the same way
//   to FILE           what follows on standard output goes into FILE instead
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

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/AsciiText.h"
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
  const std::vector<std::string> started(argv, argv + argc);
  std::vector<std::string> words = started;
  const std::string name = platform::ChangeFileExt(platform::ExtractFileName(platform::ProgramFile()), "");
  if (!platform::SameTextAscii(name, "tesmar-test-child")) {
    const char* script = std::getenv("TESMAR_TEST_CHILD");
    words = platform::SplitCommandLine(std::string("child ") + (script ? script : ""));
  }

  // The commands and how many operands each takes ("args" takes the rest).
  const std::map<std::string, std::size_t> operands{{"out", 1},  {"err", 1},   {"cat", 0},   {"args", 0},  {"argv", 0},
                                                    {"self", 0}, {"hold", 1},  {"spawn", 1}, {"sleep", 1}, {"flood", 2},
                                                    {"exit", 1}, {"crash", 0}, {"to", 1}};
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& command = words[i];
    const auto known = operands.find(command);
    if (known == operands.end()) return Usage("unknown command " + command);
    if (i + known->second >= words.size())
      return Usage(command + " needs " + std::to_string(known->second) + " operand(s)");
    const std::vector<std::string> operand(words.begin() + i + 1, words.begin() + i + 1 + known->second);
    i += known->second;
    if (command == "out" || command == "err") {
      Write(command == "out" ? stdout : stderr, operand[0] + "\n");
    } else if (command == "cat") {
      char buffer[65536];
      for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) std::fwrite(buffer, 1, n, stdout);
      std::fflush(stdout);
    } else if (command == "args") {
      while (++i < words.size()) Write(stdout, "[" + words[i] + "]\n");
    } else if (command == "argv") {
      for (std::size_t k = 1; k < started.size(); ++k) Write(stdout, "[" + started[k] + "]\n");
    } else if (command == "to") {
      if (!std::freopen(operand[0].c_str(), "wb", stdout)) return Usage("cannot write " + operand[0]);
    } else if (command == "self") {
      Write(stdout, platform::ProgramFile() + "\n");
    } else if (command == "hold") {
      if (!Hold(operand[0])) return Usage("cannot lock " + operand[0]);
    } else if (command == "spawn") {
      const long pid = SpawnSleeper();
      std::FILE* out = pid > 0 ? std::fopen(operand[0].c_str(), "wb") : nullptr;
      if (!out) return Usage("spawn cannot start a process, or write " + operand[0]);
      std::fprintf(out, "%ld\n", pid);
      std::fclose(out);
    } else if (command == "sleep") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(operand[0].c_str())));
    } else if (command == "flood") {
      std::string block;
      while (block.size() < 65536) block += operand[1] + "\n";
      for (long long left = std::atoll(operand[0].c_str()); left > 0; left -= static_cast<long long>(block.size()))
        std::fwrite(block.data(), 1, static_cast<std::size_t>(std::min<long long>(left, block.size())), stdout);
      std::fflush(stdout);
    } else if (command == "exit") {
      return std::atoi(operand[0].c_str());
    } else {
      Crash();
    }
  }
  return 0;
}
