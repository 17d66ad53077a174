#include "support/Faults.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

#include "platform/Process.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

TFullDisk::TFullDisk(std::string nameEnd, platform::TWriteStage stage)
    : Previous(platform::SetWriteFault(
          [nameEnd = std::move(nameEnd), stage](const std::string& file, platform::TWriteStage at) {
            return at == stage && file.ends_with(nameEnd) ? ENOSPC : 0;
          })) {}

TFullDisk::~TFullDisk() {
  platform::SetWriteFault(std::move(Previous));
}

bool EndsSoon(long pid) {
#ifdef _WIN32
  auto running = [pid] { return platform::ProcessIsRunning(pid); };
#else
  auto running = [pid] {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
  };
#endif
  for (int i = 0; i < 150 && running(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return !running();
}

#ifndef _WIN32

bool KilledWhileWriting(const std::function<void()>& work, const std::string& nameEnd, platform::TWriteStage stage) {
  const pid_t child = fork();
  if (child == 0) {
    platform::SetWriteFault([&](const std::string& file, platform::TWriteStage at) {
      if (at == stage && file.ends_with(nameEnd)) raise(SIGKILL);
      return 0;
    });
    try {
      work();
    } catch (...) {
    }
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}
#endif

int LeftoversOf(const std::string& dir, const std::string& name) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string found = entry.path().filename().string();
    count += found.starts_with(name + ".~") && found.ends_with(".tmp");
  }
  return count;
}
