// The display path of a converter message: a changed line, the same line
// again (nothing is redrawn), and a graphic line with changing cells.
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QTemporaryDir>

#include "main_window.h"

namespace {

void SetLine(TLinkState &link, uint8_t status, const char *codes) {
  link.ReplyData.bytes[0] = 'M';
  link.ReplyData.bytes[2] = status;
  for (int i = 0; i < 16; ++i) {
    link.ReplyData.bytes[3 + i] = static_cast<uint8_t>(codes[i]);
  }
  link.ReplyData.length = 19;
}

TForm_Sorvanel &Window() {
  static QTemporaryDir folder;
  static TForm_Sorvanel window(folder.filePath(QStringLiteral("sorvanel")));
  return window;
}

void BM_ChangedLine(benchmark::State &state) {
  TForm_Sorvanel &window = Window();
  const char *lines[] = {"Frekvencia 50Hz ", "Frekvencia 49Hz "};
  int i = 0;
  for (auto _ : state) {
    SetLine(window.LinkState(), 0x0E, lines[i ^= 1]);
    window.UpdateGraphicMode();
  }
}
BENCHMARK(BM_ChangedLine);

void BM_SameLine(benchmark::State &state) {
  TForm_Sorvanel &window = Window();
  SetLine(window.LinkState(), 0x0E, "Motor aram  12A ");
  window.UpdateGraphicMode();
  for (auto _ : state) {
    window.UpdateGraphicMode();
  }
}
BENCHMARK(BM_SameLine);

void BM_GraphicLine(benchmark::State &state) {
  TForm_Sorvanel &window = Window();
  char a[17] =
      "\x01\x02\x03\x04\x05\x06\x07\x00\x01\x02\x03\x04\x05"
      "abc";
  char b[17] =
      "\x07\x06\x05\x04\x03\x02\x01\x00\x07\x06\x05\x04\x03"
      "abc";
  int i = 0;
  for (auto _ : state) {
    SetLine(window.LinkState(), static_cast<uint8_t>(i % 3), (i & 1) ? a : b);
    window.UpdateGraphicMode();
    ++i;
  }
}
BENCHMARK(BM_GraphicLine);

}  // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
