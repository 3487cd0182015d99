// The main of the window benchmarks: Google Benchmark inside a QApplication
// on the offscreen platform, so widgets can be made and painted without a
// display.
#include <benchmark/benchmark.h>
#include <QApplication>

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
