// Loading and saving whole projects as the window and the command line do,
// through a build run object: set-up, options, file list, entries with their
// settings; and the save of all of it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "engine/uBuildingObject.h"
#include "ide/IDELibPath.h"
#include "platform/FileSystem.h"
#include "platform/ProfileCache.h"
#include "project/uFileSettings.h"
#include "project/uPersistence.h"

namespace fs = std::filesystem;

namespace {

std::string MakeProject(int entries) {
  const fs::path dir = fs::temp_directory_path() / ("tesmar_bench_store_" + std::to_string(entries));
  fs::remove_all(dir);
  fs::create_directories(dir / "src");
  std::ofstream ini(dir / "Files.ini", std::ios::binary);
  ini << "[options]\r\nHaltOnError=1\r\n";
  std::string fileList = "[FileList]\r\n";
  for (int i = 0; i < entries; ++i) {
    const std::string src = (dir / "src" / ("Unit" + std::to_string(i) + ".dpr")).string();
    std::ofstream(src, std::ios::binary) << "program Unit" << i << ";\r\nbegin\r\nend.\r\n";
    ini << "[" << src << "]\r\nDestFile=" << (dir / "out" / ("Unit" + std::to_string(i) + ".EXE")).string()
        << "\r\nLocalVerInfo=" << (dir / "src" / ("Unit" + std::to_string(i) + ".ver")).string() << "\r\n";
    fileList += (dir / "out" / ("Unit" + std::to_string(i) + ".EXE")).string() + "=" + src + "\r\n";
  }
  ini << fileList << "[version]\r\nBuild=12\r\n";
  return dir.string();
}

struct TQuietStore {
  TQuietStore(const std::string& root) {
    setenv("WINEPREFIX", (root + "/no-wine").c_str(), 1);
    Persistence().MasterCopyDirs = {root + "/no-masters"};
    Persistence().LibraryPathPrompt = &Prompt;
  }
  TFixedLibraryPathPrompt Prompt{std::string("5")};
};

void BM_LoadProject(benchmark::State& state) {
  const std::string dir = MakeProject(static_cast<int>(state.range(0)));
  TQuietStore quiet(dir);
  for (auto _ : state) {
    platform::ForgetSharedProfiles();  // every load starts from the file
    TBuilderClass builder;
    builder.LoadProject(dir);
    if (builder.FileList().Count() != state.range(0)) state.SkipWithError("project did not load whole");
  }
  state.SetComplexityN(state.range(0));
  fs::remove_all(dir);
}
BENCHMARK(BM_LoadProject)->Arg(10)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Complexity();

// A save of a project saved before, a while ago, as a user's project is:
// every file is there already, and has settled (the store reads a file
// again that changed in the last two seconds, to be sure of it).
void BM_SaveProject(benchmark::State& state) {
  const std::string dir = MakeProject(static_cast<int>(state.range(0)));
  TQuietStore quiet(dir);
  TBuilderClass builder;
  builder.LoadProject(dir);
  if (!builder.SaveProject()) state.SkipWithError("save failed");
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  for (auto _ : state)
    if (!builder.SaveProject()) state.SkipWithError("save failed");
  state.SetComplexityN(state.range(0));
  fs::remove_all(dir);
}
BENCHMARK(BM_SaveProject)->Arg(10)->Arg(100)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Complexity();

// The first save of a project, which creates each entry's configuration and
// local version files. Creating files is the file system's work, and on ext4
// it slows down after many files were deleted shortly before.
void BM_FirstSaveOfProject(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = MakeProject(static_cast<int>(state.range(0)));
    TQuietStore quiet(dir);
    TBuilderClass builder;
    builder.LoadProject(dir);
    state.ResumeTiming();
    if (!builder.SaveProject()) state.SkipWithError("save failed");
    state.PauseTiming();
    fs::remove_all(dir);
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FirstSaveOfProject)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
