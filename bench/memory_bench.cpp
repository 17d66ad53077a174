// Peak memory of tesmar-build while a tool prints a hundred megabytes: the
// compiler's progress lines (what a compiler prints in bulk; the build keeps
// none of them) and lines it keeps (warnings, which the logs must hold), each
// against the same build whose tool prints one line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr long long OutputBytes = 100'000'000;

void WriteFile(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
}

// A project of one program whose compiler is a shell script printing lines
// of the given text up to the given number of bytes, then the last line.
fs::path MakeProject(const std::string& name, const std::string& line, long long bytes) {
  const fs::path dir = fs::temp_directory_path() / ("tesmar_bench_memory_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "tool");
  WriteFile(dir / "src" / "App.dpr", "program App;\r\nbegin\r\nend.\r\n");
  const fs::path tool = dir / "tool" / "DCC32.exe";
  WriteFile(tool, "#!/bin/sh\nyes '" + line + "' | head -c " + std::to_string(bytes) +
                      "\necho\necho '1234 lines, 0.1 seconds, 10 bytes code, 10 bytes data.'\n");
  fs::permissions(tool, fs::perms::owner_all);
  WriteFile(dir / "Files.ini",
            "[options]\r\nAutoResFileCreate=0\r\nCheckVersion=0\r\nDCCPath=" + (dir / "tool").string() +
                "\r\n[FileList]\r\n" + (dir / "App.EXE").string() + "=" + (dir / "src" / "App.dpr").string() + "\r\n");
  return dir;
}

// The largest resident size of one tesmar-build run over the project, in MiB.
double PeakMiB(const fs::path& project) {
  const pid_t child = fork();
  if (child == 0) {
    // What it prints is not what is measured.
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    const std::string program = std::string(TESMAR_BIN_DIR) + "/tesmar-build";
    execl(program.c_str(), program.c_str(), "--quiet", project.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  // The run ends with 1 (its target carries no version: the tool is a script),
  // never with 2 (not built at all).
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) return -1;
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void BM_PeakMemoryOfAFloodingTool(benchmark::State& state, const std::string& line) {
  const fs::path quiet = MakeProject("rest", line, 0);
  const fs::path loud = MakeProject("flood", line, OutputBytes);
  double rest = 0, flood = 0;
  for (auto _ : state) {
    rest = PeakMiB(quiet);
    flood = PeakMiB(loud);
    if (rest < 0 || flood < 0) state.SkipWithError("tesmar-build failed");
  }
  state.counters["rest_MiB"] = rest;
  state.counters["flood_MiB"] = flood;
  state.counters["above_rest_MiB"] = flood - rest;
  fs::remove_all(quiet);
  fs::remove_all(loud);
}

}  // namespace

BENCHMARK_CAPTURE(BM_PeakMemoryOfAFloodingTool, progress_lines, std::string("Unit1.pas(1234)"))
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_PeakMemoryOfAFloodingTool, kept_warning_lines,
                  std::string("Unit1.pas(12) Warning: Variable 'I' might not have been initialized"))
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
