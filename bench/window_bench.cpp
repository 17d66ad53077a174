// The window's build as the user watches it (offscreen, shown, following the
// running tool's output and showing its progress): what it costs against the
// same build by tesmar-build, and how long the window's event loop goes
// unanswered while a tool prints a hundred megabytes.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/fMainForm.h"
#include "dialogs/uUserDialogs.h"
#include "project/uCatalogue.h"

namespace fs = std::filesystem;

namespace {

void WriteCrLf(const fs::path& file, const std::vector<std::string>& lines) {
  std::ofstream out(file, std::ios::binary);
  for (const auto& l : lines) out << l << "\r\n";
}

double Seconds(const std::chrono::steady_clock::time_point& since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A directory with the project proj/ (entries programs P0.. built by the
// stand-in tools, or one program whose compiler is the given tool) and the
// catalogue tesmar.ini naming it.
fs::path MakeProject(const std::string& name, int entries, const std::string& tool = "") {
  const fs::path dir = fs::temp_directory_path() / ("tesmar_bench_window_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "proj");
  std::string compilerDir = TESMAR_BIN_DIR;
  if (!tool.empty()) {
    compilerDir = (dir / "tool").string();
    fs::create_directories(compilerDir);
    std::ofstream(dir / "tool" / "DCC32.exe") << "#!/bin/sh\n" << tool;
    fs::permissions(dir / "tool" / "DCC32.exe", fs::perms::owner_all);
  }
  std::vector<std::string> ini{
      "[options]",      "HaltOnError=0",          "AutoResFileCreate=" + std::string(tool.empty() ? "1" : "0"),
      "CheckVersion=0", "DCCPath=" + compilerDir, "[FileList]"};
  WriteCrLf(dir / "src" / "Shared.pas", {"unit Shared;", "interface", "implementation", "end."});
  for (int i = 0; i < entries; ++i) {
    const std::string program = "P" + std::to_string(i);
    WriteCrLf(dir / "src" / (program + ".dpr"),
              {"program " + program + ";", "uses Shared in 'Shared.pas';", "{$R *.RES}", "begin", "end."});
    ini.push_back((dir / "out" / (program + ".EXE")).string() + "=" + (dir / "src" / (program + ".dpr")).string());
  }
  WriteCrLf(dir / "proj" / "Files.ini", ini);
  // No Delphi version question: the library path is there, empty.
  WriteCrLf(dir / "proj" / "Default.path", {""});
  AddCatalogueEntry((dir / "tesmar.ini").string(), "proj", (dir / "proj").string());
  return dir;
}

// Processor time (user and system) of this process or of its ended children.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The processor time of a process itself, without its children's, as the
// system tells it while the process is there (ended, not yet reaped).
double OwnCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The fields after the name in parentheses, which may hold blanks.
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; fields >> field && i <= 15; ++i)
    if (i >= 14) ticks += std::stod(field);  // utime, stime
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// One tesmar-build run over the project, in seconds (negative: it did not
// build every entry); cpu: the processor time of it and its tools; own: of
// tesmar-build alone.
double TesmarBuildSeconds(const fs::path& dir, double* cpu = nullptr, double* own = nullptr) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
    const std::string program = std::string(TESMAR_BIN_DIR) + "/tesmar-build";
    execl(program.c_str(), program.c_str(), "--quiet", (dir / "proj").c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  siginfo_t ended{};
  waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOWAIT);
  const double seconds = Seconds(start);
  if (own) *own = OwnCpuSeconds(child);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (cpu)
    *cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// The window made on the project and shown (made: how long that took), and
// its build, in seconds from the making; cpu: the processor time of the
// window and its tools; own: of the window alone.
double WindowBuildSeconds(const fs::path& dir, double* made = nullptr, double* cpu = nullptr, double* own = nullptr) {
  THeadlessUserDialogs dialogs;
  const double ownBefore = CpuSeconds(RUSAGE_SELF), toolsBefore = CpuSeconds(RUSAGE_CHILDREN);
  const auto start = std::chrono::steady_clock::now();
  TF_MainForm form(dialogs, TMainFormStart{(dir / "tesmar.ini").string(), "", true});
  form.show();
  QApplication::processEvents();
  if (made) *made = Seconds(start);
  form.findChild<QAction*>("A_DoBuild")->trigger();
  QApplication::processEvents();
  const double seconds = Seconds(start);
  const double ownCpu = CpuSeconds(RUSAGE_SELF) - ownBefore;
  if (cpu) *cpu = ownCpu + CpuSeconds(RUSAGE_CHILDREN) - toolsBefore;
  if (own) *own = ownCpu;
  return form.BuildRun->ErrCount == 0 && form.BuildRun->OKCount > 0 ? seconds : -1;
}

void SetUpEnvironment(const fs::path& dir) {
  setenv("PATH", (std::string(TESMAR_BIN_DIR) + ":" + std::getenv("PATH")).c_str(), 1);
  setenv("WINEPREFIX", (dir / "no-wine").c_str(), 1);
}

// The value below which the given share of the values lies (0.5: the median).
double Quantile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5)];
}
double Median(std::vector<double> values) {
  return Quantile(std::move(values), 0.5);
}

// Where the median of the rounds lies with 95 % confidence, whatever the
// distribution of the rounds: the count of rounds below the true median is
// binomial (n, 1/2), so the values whose ranks lie 1.96 of its standard
// deviations either side of the middle bound it.
std::pair<double, double> MedianInterval(std::vector<double> values) {
  if (values.empty()) return {0, 0};
  std::sort(values.begin(), values.end());
  const double n = static_cast<double>(values.size()), reach = 1.96 * std::sqrt(n) / 2;
  const auto rank = [&](double at) { return values[static_cast<std::size_t>(std::clamp(at, 0.0, n - 1))]; };
  // Ranks from 1: the lower bound's the reach below n/2 rounded down, the
  // upper bound's as far from the top (n + 1 - r); as indexes one less.
  const double lower = std::floor(n / 2 - reach);
  return {rank(lower - 1), rank(n - lower)};
}

// Rounds of each comparison: TESMAR_COMPARE_ROUNDS when it names 5 or more
// (a closer figure for a longer wait), else 75.
int CompareRoundsWanted() {
  const char* text = std::getenv("TESMAR_COMPARE_ROUNDS");
  const int wanted = text ? std::atoi(text) : 0;
  return wanted >= 5 ? wanted : 75;
}

// Identical builds differ by as much as a third from one round to the next
// on a small machine (the tools' own time: starting processes, the file
// system; on a RAM disk as much); over 25 rounds the median ratio of
// identical builds still landed up to 4 % from 1, over 75 rounds about half
// as far. The interval of the median says how close a run's figure is.
const int CompareRounds = CompareRoundsWanted();

void ReportRatios(benchmark::State& state, const std::vector<double>& ratios) {
  const auto [low, high] = MedianInterval(ratios);
  state.counters["median_ratio"] = Median(ratios);
  state.counters["median_ratio_95_low"] = low;
  state.counters["median_ratio_95_high"] = high;
  state.counters["lower_quartile_ratio"] = Quantile(ratios, 0.25);
  state.counters["upper_quartile_ratio"] = Quantile(ratios, 0.75);
}

// The two sides of each round run back to back, so that a round's ratio sees
// the same machine, and take turns at going first; the median of the rounds'
// ratios is the figure that a busy moment moves least; the quartiles show
// how far single rounds stray.
void BM_WindowAgainstTesmarBuild(benchmark::State& state) {
  const fs::path dir = MakeProject("build", static_cast<int>(state.range(0)));
  SetUpEnvironment(dir);
  // The first run writes the project's default files, the scripts and .RES
  // files: both sides then start alike.
  if (TesmarBuildSeconds(dir) < 0) state.SkipWithError("tesmar-build failed");
  // The window's figure with its making (a process of tesmar-build starts and
  // reads the project too), and without it (the build button's cost).
  std::vector<double> ratios, buildRatios, cpuRatios, windowOwn, cliOwn;
  double window = 0, making = 0, cli = 0;
  bool windowFirst = false;
  for (auto _ : state) {
    double cliCpu = 0, windowCpu = 0, made = 0, cliOwnCpu = 0, windowOwnCpu = 0;
    double byCli = 0, byWindow = 0;
    if (windowFirst) byWindow = WindowBuildSeconds(dir, &made, &windowCpu, &windowOwnCpu);
    byCli = TesmarBuildSeconds(dir, &cliCpu, &cliOwnCpu);
    if (!windowFirst) byWindow = WindowBuildSeconds(dir, &made, &windowCpu, &windowOwnCpu);
    windowFirst = !windowFirst;
    if (byCli < 0 || byWindow < 0) {
      state.SkipWithError("a build failed");
      break;
    }
    cli += byCli;
    window += byWindow;
    making += made;
    ratios.push_back(byWindow / byCli);
    buildRatios.push_back((byWindow - made) / byCli);
    cpuRatios.push_back(windowCpu / cliCpu);
    windowOwn.push_back(windowOwnCpu);
    cliOwn.push_back(cliOwnCpu);
  }
  if (ratios.empty()) return;
  const double runs = static_cast<double>(ratios.size());
  state.counters["window_s"] = window / runs;
  state.counters["window_making_s"] = making / runs;
  state.counters["tesmar_build_s"] = cli / runs;
  ReportRatios(state, ratios);
  state.counters["median_build_ratio"] = Median(buildRatios);
  // The processor time of the window and its tools (the making included)
  // against that of tesmar-build and its tools.
  state.counters["median_cpu_ratio"] = Median(cpuRatios);
  // What the front ends themselves take, without their tools: the window's
  // own cost above tesmar-build's, which the tools' times do not blur.
  state.counters["window_own_cpu_s"] = Median(windowOwn);
  state.counters["tesmar_build_own_cpu_s"] = Median(cliOwn);
  fs::remove_all(dir);
}
BENCHMARK(BM_WindowAgainstTesmarBuild)->Arg(200)->Iterations(CompareRounds)->Unit(benchmark::kSecond)->UseRealTime();

// The same measure with tesmar-build on both sides: how far from 1 the
// median ratio of identical builds lands on this machine, the floor under
// which the window's figure cannot be read.
void BM_TesmarBuildAgainstItself(benchmark::State& state) {
  const fs::path dir = MakeProject("self", static_cast<int>(state.range(0)));
  SetUpEnvironment(dir);
  if (TesmarBuildSeconds(dir) < 0) state.SkipWithError("tesmar-build failed");
  std::vector<double> ratios;
  bool firstAsMeasured = false;
  for (auto _ : state) {
    double measured = 0, against = 0;
    if (firstAsMeasured) measured = TesmarBuildSeconds(dir);
    against = TesmarBuildSeconds(dir);
    if (!firstAsMeasured) measured = TesmarBuildSeconds(dir);
    firstAsMeasured = !firstAsMeasured;
    if (measured < 0 || against < 0) {
      state.SkipWithError("a build failed");
      break;
    }
    ratios.push_back(measured / against);
  }
  if (ratios.empty()) return;
  ReportRatios(state, ratios);
  state.counters["lowest_ratio"] = *std::min_element(ratios.begin(), ratios.end());
  state.counters["highest_ratio"] = *std::max_element(ratios.begin(), ratios.end());
  fs::remove_all(dir);
}
BENCHMARK(BM_TesmarBuildAgainstItself)->Arg(200)->Iterations(CompareRounds)->Unit(benchmark::kSecond)->UseRealTime();

// A timer asks the event loop every 5 ms; the longest it waited for an answer
// during the build is the figure.
void BM_EventLoopWhileAToolFloods(benchmark::State& state, const std::string& line) {
  const fs::path dir = MakeProject(
      "flood", 1,
      "yes '" + line + "' | head -c 100000000\necho\necho '1234 lines, 0.1 seconds, 10 bytes code, 10 bytes data.'\n");
  SetUpEnvironment(dir);
  double longest = 0, build = 0;
  for (auto _ : state) {
    QElapsedTimer sinceTick;
    qint64 gap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
      if (sinceTick.isValid()) gap = std::max(gap, sinceTick.elapsed());
      sinceTick.start();
    });
    ticker.start(5);
    build = WindowBuildSeconds(dir);
    ticker.stop();
    if (build < 0) state.SkipWithError("the build failed");
    longest = static_cast<double>(gap);
  }
  state.counters["longest_unanswered_ms"] = longest;
  state.counters["build_s"] = build;
  fs::remove_all(dir);
}
BENCHMARK_CAPTURE(BM_EventLoopWhileAToolFloods, progress_lines, std::string("Unit1.pas(1234)"))
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_EventLoopWhileAToolFloods, kept_warning_lines,
                  std::string("Unit1.pas(12) Warning: Variable 'I' might not have been initialized"))
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
