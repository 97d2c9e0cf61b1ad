// A batch of small scores dropped on the dialog: the time from the drop until the log shows
// every line, through the dialog's own compile path (read, compile, write with fsync and
// rename, log). A batch of 100 must be shown within one second. Real time is measured, since
// waiting for the disk costs no processor time.
//
//   build-release/bench/quavrex_dialog_bench --benchmark_counters_tabular=true
//
// The scores are written to a folder under $TMPDIR (default /tmp); point it at the disk to be
// measured.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "shell/main_dialog.h"

namespace {

// `count` small scores of both formats' common ground in `folder`; returns their paths.
std::vector<std::string> WriteScores(const QString& folder, int count) {
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    const std::string path = folder.toStdString() + "/score" + std::to_string(i) + ".mml";
    std::ofstream(path, std::ios::binary)
        << "C[ST:Song " << i << ",]1[T" << 90 + i << "@" << i % 8 << "O4L8CDEFGAB>C<BAGFEDC]"
        << "2[O3L4C(CE)2G&G]";
    paths.push_back(path);
  }
  return paths;
}

void BM_DialogBatch(benchmark::State& state) {
  QTemporaryDir folder;
  const std::vector<std::string> paths =
      WriteScores(folder.path(), static_cast<int>(state.range(0)));
  const QString settings = folder.filePath("quavrex.ini");
  MainDialog dialog(SettingsFiles{settings, settings});
  dialog.show();
  for (auto _ : state) {
    dialog.CompileFiles(paths);
    QApplication::processEvents();  // the log box repaints with every line
  }
  state.counters["files"] = static_cast<double>(paths.size());
}
BENCHMARK(BM_DialogBatch)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // The dialog needs no display: the offscreen platform unless another is asked for.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
