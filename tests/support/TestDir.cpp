#include "support/TestDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/FileSystem.h"
#include "platform/Process.h"

#ifdef _WIN32
#include <windows.h>
#define popen _popen
#define pclose _pclose
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

void TTestDir::SetUp() {
  StartDir = fs::current_path().string();
  std::random_device rd;
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  fs::path dir = fs::temp_directory_path() / ("tesmar_" + name + "_" + std::to_string(rd()));
  fs::create_directories(dir);
  Root = fs::canonical(dir).string();
  fs::current_path(Root);
}

#ifdef _WIN32
namespace {

// Removes a tree whose names may be longer than MAX_PATH, which the standard
// library's removal does not reach there: the wide functions take them in
// their "\\?\" form. Read-only entries go too.
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW entry;
  const HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryW(dir.c_str());
}

}  // namespace
#endif

void TTestDir::TearDown() {
  std::error_code ec;
  fs::current_path(StartDir, ec);
#ifdef _WIN32
  RemoveTree(L"\\\\?\\" + fs::path(Root).wstring());
#else
  // Read-only files and directories must not keep the tree alive.
  for (auto it = fs::recursive_directory_iterator(Root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(Root, ec);
#endif
}

std::string TTestDir::Path(const std::string& name) const {
  return (fs::path(Root) / name).make_preferred().string();
}

void TTestDir::WriteBytes(const std::string& name, const std::string& bytes) const {
  const fs::path p = Path(name);  // an absolute name stays as it is
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << p;
}

std::string TTestDir::ReadBytes(const std::string& name) const {
  std::ifstream in(Path(name), std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << Path(name);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TTestDir::Exists(const std::string& name) const {
  return fs::exists(Path(name));
}

std::vector<std::string> TTestDir::Listing(const std::string& dir) const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.empty() ? fs::path(Root) : fs::path(Path(dir))))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string BinDir() {
  if (const char* env = std::getenv("TESMAR_BIN_DIR")) return env;
  return TESMAR_BIN_DIR;
}
std::string TestDataDir() {
  return TESMAR_TEST_DATA_DIR;
}
std::string SourceDir() {
  return TESMAR_SOURCE_DIR;
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

TCommandResult RunShellCommand(const std::string& command) {
  TCommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.Output.append(buffer, n);
  const int status = pclose(pipe);
#ifdef _WIN32
  result.Status = status;
#else
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return result;
}

std::string NativePath(std::string path) {
  for (char& c : path)
    if (c == '/') c = platform::PathDelim;
  return path;
}

void SetEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
  // An empty value would remove the variable there.
  ASSERT_FALSE(value.empty()) << name;
  ASSERT_EQ(_putenv_s(name.c_str(), value.c_str()), 0) << name;
#else
  ASSERT_EQ(setenv(name.c_str(), value.c_str(), 1), 0) << name;
#endif
}

void UnsetEnv(const std::string& name) {
#ifdef _WIN32
  _putenv_s(name.c_str(), "");
#else
  unsetenv(name.c_str());
#endif
}

void PrependToPath(const std::string& dir) {
  const char separator = platform::PathDelim == '\\' ? ';' : ':';  // as the system's lists of directories have it
  const char* old = std::getenv("PATH");
  SetEnv("PATH", old && *old ? dir + separator + old : dir);
}

std::string ProgramName(const std::string& base) {
#ifdef _WIN32
  return base + ".exe";
#else
  return base;
#endif
}

std::string ChildProgram() {
  return BinDir() + platform::PathDelim + ProgramName("tesmar-test-child");
}

bool ChildHolds(const std::string& file) {
#ifdef _WIN32
  const HANDLE h = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
#else
  const int fd = open(file.c_str(), O_RDONLY);
  if (fd < 0) return false;
  const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return held;
#endif
}

std::string ChildCommand(const std::string& arguments) {
  return platform::QuoteProgramName(ChildProgram()) + " " + arguments;
}

TCommandRun RunCommandLine(const std::string& commandLine) {
  std::random_device rd;
  const std::string base = (fs::temp_directory_path() / ("tesmar_run_" + std::to_string(rd()))).string();
  TCommandRun run;
  const platform::TRunResult result = platform::RunRedirected(commandLine, base + ".in", base + ".out");
  if (result.Stage == platform::TRunStage::rsRan) run.ExitCode = result.ExitCode;
  {
    std::ifstream in(base + ".out", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      run.Lines.push_back(line);
    }
  }
  std::error_code ec;
  fs::remove(base + ".in", ec);
  fs::remove(base + ".out", ec);
  return run;
}
