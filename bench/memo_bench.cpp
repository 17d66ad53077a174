// Showing a large compile log in the window's results memo, from the click to
// the painted memo.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <filesystem>
#include <fstream>

#include "app/fMainForm.h"
#include "dialogs/uUserDialogs.h"
#include "project/uCatalogue.h"

namespace fs = std::filesystem;

namespace {

// A project whose last build left a compile log of about megabytes MB.
fs::path MakeProject(int megabytes) {
  const fs::path dir = fs::temp_directory_path() / "tesmar_bench_memo";
  fs::remove_all(dir);
  fs::create_directories(dir / "proj");
  std::ofstream(dir / "proj" / "Files.ini", std::ios::binary) << "[options]\r\nHaltOnError=0\r\n[FileList]\r\n";
  std::ofstream(dir / "proj" / "Default.path", std::ios::binary) << "\r\n";
  std::ofstream log(dir / "proj" / "Compile.log", std::ios::binary);
  const std::string line =
      "C:\\Work\\Suite\\Source\\Client\\MainForm.pas(1234) Hint: Variable 'Counter' is declared but never used\r\n";
  const std::size_t wanted = static_cast<std::size_t>(megabytes) * 1024 * 1024;
  for (std::size_t written = 0; written < wanted; written += line.size()) log << line;
  return dir;
}

void BM_ShowCompileLog(benchmark::State& state) {
  const fs::path dir = MakeProject(static_cast<int>(state.range(0)));
  const std::string ini = (dir / "tesmar.ini").string();
  AddCatalogueEntry(ini, "proj", (dir / "proj").string());
  THeadlessUserDialogs dialogs;
  TF_MainForm form(dialogs, TMainFormStart{ini, "", true});
  form.show();
  QApplication::processEvents();
  for (auto _ : state) {
    form.A_compileResultsDisplayExecute();
    form.Memo1->repaint();
    state.PauseTiming();
    state.counters["lines"] = form.Memo1->document()->blockCount();
    form.Memo1->clear();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  fs::remove_all(dir);
}
BENCHMARK(BM_ShowCompileLog)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
