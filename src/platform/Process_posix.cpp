#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <exception>
#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

extern char** environ;

namespace platform {

namespace {

// A descriptor closed on scope exit. Descriptors are opened close-on-exec and
// kept above the standard three, so that the child receives them only as its
// standard handles and no other child receives them at all.
class TFd {
 public:
  explicit TFd(int fd) : Fd(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() {
    if (Fd >= 0) close(Fd);
  }
  int Get() const { return Fd; }
  void Reset(int fd) {
    if (Fd >= 0) close(Fd);
    Fd = fd;
  }

 private:
  int Fd;
};

int OpenForChild(const std::string& name, int flags) {
  int fd;
  do {
    fd = open(name.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  // Our own standard handles were closed: move off their numbers, or the
  // child's dup2 onto the same number would keep the close-on-exec flag.
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  const int saved = errno;
  close(fd);
  errno = saved;
  return moved;
}

class TSpawnSetup {
 public:
  TSpawnSetup() {
    posix_spawn_file_actions_init(&Actions);
    posix_spawnattr_init(&Attr);
  }
  TSpawnSetup(const TSpawnSetup&) = delete;
  TSpawnSetup& operator=(const TSpawnSetup&) = delete;
  ~TSpawnSetup() {
    posix_spawnattr_destroy(&Attr);
    posix_spawn_file_actions_destroy(&Actions);
  }
  posix_spawn_file_actions_t Actions;
  posix_spawnattr_t Attr;
};

pid_t WaitBlocking(pid_t pid, int& status) {
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  return waited;
}

// Whether the child has ended within ms, left unreaped (a zombie), so that
// its id, which names its process group too, cannot pass to another process.
bool EndedWithin(pid_t pid, int ms) {
  for (int waited = 0;; waited += 10) {
    siginfo_t info{};
    const int done = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if ((done == 0 && info.si_pid == pid) || (done < 0 && errno != EINTR)) return true;
    if (waited >= ms) return false;
    const timespec pause{0, 10 * 1000000L};
    nanosleep(&pause, nullptr);
  }
}

// Ends the child and everything in its process group: asked to terminate,
// killed when it has not ended after ChildEndGraceMs. What it started and
// left behind in the group is killed before the child is reaped.
pid_t EndChildGroup(pid_t pid, int& status) {
  kill(-pid, SIGTERM);
  kill(-pid, SIGCONT);  // a stopped child could not act on the request
  if (!EndedWithin(pid, ChildEndGraceMs)) {
    kill(-pid, SIGKILL);
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
  }
  kill(-pid, SIGKILL);
  return WaitBlocking(pid, status);
}

// Waits for the child, calling whileWaiting as soon as it runs and then at
// most WaitCallbackIntervalMs apart. Where the system gives a descriptor for
// the child (pidfd), its end wakes the wait at once; elsewhere the child is
// looked at after short sleeps that grow to the interval, so a quick tool
// costs little. A TEndChild from the callback ends the child and gives its
// reason.
pid_t WaitCalling(pid_t pid, int& status, const TWaitCallback& whileWaiting, TRunResult& result) {
#ifdef SYS_pidfd_open
  const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
  const int pidFd = -1;
#endif
  long sleepMs = 1;
  bool first = true;
  std::exception_ptr failure;
  pid_t waited;
  while ((waited = waitpid(pid, &status, WNOHANG)) == 0 || (waited < 0 && errno == EINTR)) {
    if (waited < 0) continue;
    if (std::exchange(first, false)) {
      // The first call at once: what the caller has to do meanwhile is done
      // while the child runs, not after it.
    } else if (pidFd >= 0) {
      pollfd entry{pidFd, POLLIN, 0};
      if (poll(&entry, 1, WaitCallbackIntervalMs) > 0) continue;
    } else {
      const timespec pause{0, sleepMs * 1000000L};
      nanosleep(&pause, nullptr);
      sleepMs = std::min<long>(sleepMs * 2, WaitCallbackIntervalMs);
    }
    try {
      ForgetKeptFileFacts();  // the child may have changed any file meanwhile
      whileWaiting();
    } catch (const TEndChild& end) {
      result.Ended = true;
      result.EndReason = end.what();
      waited = EndChildGroup(pid, status);
      break;
    } catch (...) {
      failure = std::current_exception();
      waited = WaitBlocking(pid, status);
      break;
    }
  }
  if (pidFd >= 0) close(pidFd);
  if (failure) std::rethrow_exception(failure);
  return waited;
}

// Cuts a file to a length; false (errno set) when the system refuses.
bool CutTo(int fd, off_t length) {
  while (ftruncate(fd, length) != 0)
    if (errno != EINTR) return false;
  return true;
}

// Drops what an earlier, longer capture left beyond the end of this one. The
// child shares the descriptor's offset, so that offset is where its output
// ends; a child that is still running in the background can only add to it.
// A capture that keeps an earlier run's lines would be judged wrongly: a
// failure to cut it fails the run.
// The output of the child being waited for, and of the last one waited for,
// told by ChildOutput.
int WaitedOutputFd = -1;
std::optional<TChildOutput> LastOutput;

std::optional<TChildOutput> OutputOf(int fd) {
  struct stat facts {};
  const off_t written = lseek(fd, 0, SEEK_CUR);
  if (fstat(fd, &facts) != 0 || written < 0) return std::nullopt;
  return TChildOutput{{static_cast<std::uint64_t>(facts.st_dev), static_cast<std::uint64_t>(facts.st_ino)},
                      static_cast<std::uint64_t>(written)};
}
struct TWaitedOutput {
  explicit TWaitedOutput(int fd) : Previous(std::exchange(WaitedOutputFd, fd)) {}
  ~TWaitedOutput() { WaitedOutputFd = Previous; }
  TWaitedOutput(const TWaitedOutput&) = delete;
  TWaitedOutput& operator=(const TWaitedOutput&) = delete;
  int Previous;
};

void CutAtWrittenEnd(int fd, const std::string& name) {
  struct stat facts {};
  if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) return;
  const off_t end = lseek(fd, 0, SEEK_CUR);
  if (end >= 0 && end < facts.st_size && !CutTo(fd, end)) {
    const int code = errno;
    throw TOSError("Could not cut " + name + " to the output of this run: " + SystemErrorText(code), code);
  }
}

TRunResult Failed(TRunStage stage, int code) {
  SetLastOSErrorCode(code);
  TRunResult result;
  result.Stage = stage;
  result.ErrorCode = code;
  return result;
}

// A child that never started leaves an empty capture, not an earlier one;
// one that cannot be emptied is an output that could not be made.
TRunResult NotStarted(int output, int code) {
  if (!CutTo(output, 0)) return Failed(TRunStage::rsOutputOpenFailed, errno);
  return Failed(TRunStage::rsStartFailed, code);
}

}  // namespace

TRunResult RunRedirected(const std::string& commandLine, const std::string& inputFile, const std::string& outputFile,
                         const TWaitCallback& whileWaiting) {
  LastOutput.reset();
  // The input is opened for writing too, as on Windows, but a file that we may
  // only read (a read-only settings file) still serves as the child's input.
  const std::string inputName = ResolvePath(inputFile);
  TFd input(OpenForChild(inputName, O_RDWR | O_CREAT));
  if (input.Get() < 0 && (errno == EACCES || errno == EROFS)) input.Reset(OpenForChild(inputName, O_RDONLY));
  if (input.Get() < 0) return Failed(TRunStage::rsInputOpenFailed, errno);
  NoteDirectoryEntry(inputName, true);
  const std::string outputName = ResolvePath(outputFile);
  // The capture is overwritten from its start and cut to what the child wrote
  // once it has ended. Emptying it first would cost each run, on ext4, the
  // release of its block (a synchronous discard on a disk mounted so) and a
  // forced write-back when it is closed.
  TFd output(OpenForChild(outputName, O_RDWR | O_CREAT));
  if (output.Get() < 0) return Failed(TRunStage::rsOutputOpenFailed, errno);
  NoteDirectoryEntry(outputName, true);

  // The program is resolved here rather than left to the spawn, which on some
  // C libraries reports a failed exec only through the child's exit status.
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty()) return NotStarted(output.Get(), ENOENT);
  std::string program = FindProgram(args[0]);
  if (program.empty()) return NotStarted(output.Get(), ENOENT);
  if (IsWindowsProgram(program)) {
    std::string wine = SearchPathFor("wine");
    if (wine.empty()) return NotStarted(output.Get(), ENOEXEC);
    args[0] = program;
    args.insert(args.begin(), wine);
    program = wine;
  }

  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  TSpawnSetup setup;
  posix_spawn_file_actions_adddup2(&setup.Actions, input.Get(), STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&setup.Actions, output.Get(), STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&setup.Actions, output.Get(), STDERR_FILENO);
  // The child starts with no blocked signals and with the default action for
  // SIGPIPE, whatever the parent set for itself.
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&setup.Attr, &none);
  posix_spawnattr_setsigdefault(&setup.Attr, &defaults);
  // A process group of its own, so that the child can be ended with all it
  // started, and a terminal's interrupt reaches it only through us.
  posix_spawnattr_setpgroup(&setup.Attr, 0);
  posix_spawnattr_setflags(&setup.Attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  pid_t pid = 0;
  const int spawnError = posix_spawn(&pid, program.c_str(), &setup.Actions, &setup.Attr, argv.data(), environ);
  if (spawnError != 0) return NotStarted(output.Get(), spawnError);

  TRunResult result;
  result.Stage = TRunStage::rsRan;
  // Once the child runs it may change any file; what was kept of files is
  // stale (the listings see a change of their directory themselves). Again
  // once it has ended, for what the window read while it waited.
  ForgetKeptFileFacts();
  int status = 0;
  const TWaitedOutput waitedOutput(output.Get());
  const pid_t waited = whileWaiting ? WaitCalling(pid, status, whileWaiting, result) : WaitBlocking(pid, status);
  ForgetKeptFileFacts();
  CutAtWrittenEnd(output.Get(), outputName);
  LastOutput = OutputOf(output.Get());
  if (waited < 0)
    result.ExitCode = -1;
  else if (WIFEXITED(status))
    result.ExitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.ExitCode = 128 + WTERMSIG(status);
  return result;
}

std::optional<TChildOutput> ChildOutput() {
  return WaitedOutputFd >= 0 ? OutputOf(WaitedOutputFd) : LastOutput;
}

long CurrentProcessId() {
  return static_cast<long>(getpid());
}

bool ProcessIsRunning(long pid) {
  if (pid <= 0 || pid != static_cast<pid_t>(pid)) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace platform
