#include "support/TestDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <sys/wait.h>
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

void TTestDir::TearDown() {
  std::error_code ec;
  fs::current_path(StartDir, ec);
  // Read-only files and directories must not keep the tree alive.
  for (auto it = fs::recursive_directory_iterator(Root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(Root, ec);
}

std::string TTestDir::Path(const std::string& name) const {
  return (fs::path(Root) / name).string();
}

void TTestDir::WriteBytes(const std::string& name, const std::string& bytes) const {
  fs::path p = fs::path(name).is_absolute() ? fs::path(name) : fs::path(Root) / name;
  if (p.has_parent_path()) fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << p;
}

std::string TTestDir::ReadBytes(const std::string& name) const {
  fs::path p = fs::path(name).is_absolute() ? fs::path(name) : fs::path(Root) / name;
  std::ifstream in(p, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << p;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TTestDir::Exists(const std::string& name) const {
  fs::path p = fs::path(name).is_absolute() ? fs::path(name) : fs::path(Root) / name;
  return fs::exists(p);
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
