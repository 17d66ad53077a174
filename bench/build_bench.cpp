// Whole builds with the stand-in tools against a plain shell script that runs
// the same command lines in the same directories, and the parsing of a large
// capture file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/uBuildingObject.h"
#include "ide/IDELibPath.h"
#include "platform/ProfileCache.h"

namespace fs = std::filesystem;

namespace {

void WriteCrLf(const fs::path& file, const std::vector<std::string>& lines) {
  std::ofstream out(file, std::ios::binary);
  for (const auto& l : lines) out << l << "\r\n";
}

struct TProject {
  fs::path Dir, Src, Out;
  std::string Script;  // the shell script running the same command lines
};

TProject MakeProject(int entries) {
  TProject p;
  p.Dir = fs::temp_directory_path() / ("tesmar_bench_build_" + std::to_string(entries));
  fs::remove_all(p.Dir);
  p.Src = p.Dir / "src";
  p.Out = p.Dir / "out";
  fs::create_directories(p.Src);
  fs::create_directories(p.Out);
  const fs::path proj = p.Dir / "proj";
  fs::create_directories(proj);
  std::vector<std::string> ini{"[options]", "AutoResFileCreate=1", "CheckVersion=0", "DCCPath=" TESMAR_BIN_DIR,
                               "[FileList]"};
  WriteCrLf(p.Src / "Shared.pas", {"unit Shared;", "interface", "implementation", "end."});
  std::string script = "set -e\n";
  for (int i = 0; i < entries; ++i) {
    const std::string name = "P" + std::to_string(i);
    WriteCrLf(p.Src / (name + ".dpr"),
              {"program " + name + ";", "uses Shared in 'Shared.pas';", "{$R *.RES}", "begin", "end."});
    ini.push_back((p.Out / (name + ".EXE")).string() + "=" + (p.Src / (name + ".dpr")).string());
    const std::string started = (proj / "started.dat").string(), capture = (proj / "TmpResults.dat").string();
    script += "cd '" + p.Src.string() + "'\n";
    script += "BRCC32.exe -v -fo" + name + ".RES " + name + ".RC < '" + started + "' > '" + capture + "' 2>&1\n";
    script += "'" TESMAR_BIN_DIR "/DCC32.exe' " + name + ".dpr -E" + p.Out.string() + "/ < '" + started + "' > '" +
              capture + "' 2>&1\n";
  }
  WriteCrLf(proj / "Files.ini", ini);
  p.Script = script;
  return p;
}

double Seconds(const std::chrono::steady_clock::time_point& since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time (user and system) of this process or of its ended children,
// so that a difference of the whole times can be told apart: our own work,
// the tools' work, or neither (waiting).
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_BuildAgainstShellScript(benchmark::State& state) {
  setenv("PATH", (std::string(TESMAR_BIN_DIR) + ":" + std::getenv("PATH")).c_str(), 1);
  const TProject p = MakeProject(static_cast<int>(state.range(0)));
  setenv("WINEPREFIX", (p.Dir / "no-wine").c_str(), 1);
  TFixedLibraryPathPrompt prompt{std::string("5")};
  Persistence().LibraryPathPrompt = &prompt;
  Persistence().MasterCopyDirs = {(p.Dir / "no-masters").string()};
  TBuilderClass builder;
  if (!builder.LoadProject((p.Dir / "proj").string())) state.SkipWithError("project did not load");
  builder.RunBuild();  // the first run writes every script and .RES: both sides then start alike
  const std::string scriptFile = (p.Dir / "same-commands.sh").string();
  std::ofstream(scriptFile) << p.Script;

  double engine = 0, shell = 0, engineOwnCpu = 0, engineToolsCpu = 0, shellCpu = 0;
  // The two sides of each round run back to back, so that a round's ratio
  // sees the same machine; the median of the rounds' ratios is the figure
  // that a busy moment moves least.
  std::vector<double> rounds;
  for (auto _ : state) {
    double own = CpuSeconds(RUSAGE_SELF), children = CpuSeconds(RUSAGE_CHILDREN);
    auto start = std::chrono::steady_clock::now();
    if (!builder.RunBuild() || builder.ErrCount != 0) state.SkipWithError("build failed");
    const double engineRound = Seconds(start);
    engine += engineRound;
    engineOwnCpu += CpuSeconds(RUSAGE_SELF) - own;
    engineToolsCpu += CpuSeconds(RUSAGE_CHILDREN) - children;
    children = CpuSeconds(RUSAGE_CHILDREN);
    start = std::chrono::steady_clock::now();
    if (std::system(("sh '" + scriptFile + "'").c_str()) != 0) state.SkipWithError("script failed");
    const double shellRound = Seconds(start);
    shell += shellRound;
    shellCpu += CpuSeconds(RUSAGE_CHILDREN) - children;
    rounds.push_back(engineRound / shellRound);
  }
  std::sort(rounds.begin(), rounds.end());
  const double runs = static_cast<double>(state.iterations());
  state.counters["engine_s"] = engine / runs;
  state.counters["shell_s"] = shell / runs;
  state.counters["ratio"] = engine / shell;
  state.counters["median_ratio"] = rounds[rounds.size() / 2];
  state.counters["own_cpu_s"] = engineOwnCpu / runs;
  state.counters["tools_cpu_s"] = engineToolsCpu / runs;
  state.counters["shell_cpu_s"] = shellCpu / runs;
  Persistence().LibraryPathPrompt = nullptr;
  fs::remove_all(p.Dir);
}
BENCHMARK(BM_BuildAgainstShellScript)->Arg(50)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(9);

void BM_ParseCapture(benchmark::State& state) {
  const fs::path dir = fs::temp_directory_path() / "tesmar_bench_capture";
  fs::create_directories(dir);
  const fs::path capture = dir / "TmpResults.dat";
  {
    std::ofstream out(capture, std::ios::binary);
    for (int i = 0; i < state.range(0); ++i) {
      if (i % 10 == 0)
        out << "Unit" << i << ".pas(" << i << ") Warning: something to look at\r\n";
      else if (i % 7 == 0)
        out << "Unit" << i << ".pas(" << i << ") Hint: a value is never used\r\n";
      else
        out << "Unit" << i << ".pas(" << i << ")\r\n";
    }
    out << state.range(0) << " lines, 1.5 seconds, 1024 bytes code, 512 bytes data.\r\n";
  }
  TResourceHandler handler;
  TCompileClass step(&handler);
  step.OutputFile = capture.string();
  step.DestFile = "App.EXE";
  step.Kind = ttEXE;
  for (auto _ : state) {
    step.Success = true;
    step.Hints = step.Warnings = step.Errors = step.Fatal = 0;
    step.SummaryLines.clear();
    step.ParseOutput();
    if (step.Lines != state.range(0)) state.SkipWithError("line count not read");
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_ParseCapture)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
