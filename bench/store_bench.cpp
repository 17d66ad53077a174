// Loading and saving whole projects through the store: the load runs the
// sequence of a project load (set-up, options, file list, entries with their
// settings), the save that of a project save.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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

void LoadProject(const std::string& dir, TProjectList& list) {
  platform::TDirectoryListingScope listings;
  TProjectOptions options;
  std::string dcc, text;
  Persistence().SetupProjectDir(dir);
  Persistence().LoadOptions(dir, options, dcc);
  if (!Persistence().LoadFileList(dir, text)) return;
  list.Clear();
  list.SetProjectPath(dir);
  std::size_t start = 0, end;
  while ((end = text.find("\r\n", start)) != std::string::npos) {
    list.AddFileLine(text.substr(start, end - start));
    start = end + 2;
  }
  list.LoadAllSettings(dir);
}

void BM_LoadProject(benchmark::State& state) {
  const std::string dir = MakeProject(static_cast<int>(state.range(0)));
  TQuietStore quiet(dir);
  for (auto _ : state) {
    platform::ForgetSharedProfiles();  // every load starts from the file
    TProjectList list(dir);
    LoadProject(dir, list);
    if (list.Count() != state.range(0)) state.SkipWithError("project did not load whole");
  }
  state.SetComplexityN(state.range(0));
  fs::remove_all(dir);
}
BENCHMARK(BM_LoadProject)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Complexity();

void SaveProject(const std::string& dir, TProjectList& list, benchmark::State& state) {
  platform::TDirectoryListingScope listings;
  TProjectOptions options;
  if (!Persistence().PrepareFilesIniForSave(dir)) state.SkipWithError("prepare failed");
  list.SaveAllSettings();
  Persistence().SaveOptions(dir, options, "");
  if (!Persistence().SaveFileList(dir, list.Text())) state.SkipWithError("save failed");
}

// A save of a project saved before: every setting file is there already.
void BM_SaveProject(benchmark::State& state) {
  const std::string dir = MakeProject(static_cast<int>(state.range(0)));
  TQuietStore quiet(dir);
  TProjectList list(dir);
  LoadProject(dir, list);
  SaveProject(dir, list, state);
  for (auto _ : state) SaveProject(dir, list, state);
  state.SetComplexityN(state.range(0));
  fs::remove_all(dir);
}
BENCHMARK(BM_SaveProject)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Complexity();

// The first save of a project, which creates each entry's configuration and
// local version files. Creating files is the file system's work, and on ext4
// it slows down after many files were deleted shortly before.
void BM_FirstSaveOfProject(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    const std::string dir = MakeProject(static_cast<int>(state.range(0)));
    TQuietStore quiet(dir);
    TProjectList list(dir);
    LoadProject(dir, list);
    state.ResumeTiming();
    SaveProject(dir, list, state);
    state.PauseTiming();
    fs::remove_all(dir);
    state.ResumeTiming();
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FirstSaveOfProject)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

BENCHMARK_MAIN();
