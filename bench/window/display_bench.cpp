// The display path of a converter message: a changed line, the same line
// again (nothing is redrawn), and a graphic line with changing cells.
#include <benchmark/benchmark.h>
#include <QTemporaryDir>

#include "display_reply.h"
#include "main_window.h"

namespace {

TForm_Sorvanel &Window() {
  static QTemporaryDir folder;
  static TForm_Sorvanel window(folder.filePath(QStringLiteral("sorvanel")));
  return window;
}

void BM_ChangedLine(benchmark::State &state) {
  TForm_Sorvanel &window = Window();
  const TReplyData lines[] = {DisplayReply(0x0E, "Frekvencia 50Hz "),
                              DisplayReply(0x0E, "Frekvencia 49Hz ")};
  int i = 0;
  for (auto _ : state) {
    window.LinkState().ReplyData = lines[i ^= 1];
    window.DisplayModel().ShowDisplayMessage(window.LinkState().ReplyData);
  }
}
BENCHMARK(BM_ChangedLine);

void BM_SameLine(benchmark::State &state) {
  TForm_Sorvanel &window = Window();
  window.LinkState().ReplyData = DisplayReply(0x0E, "Motor aram  12A ");
  window.DisplayModel().ShowDisplayMessage(window.LinkState().ReplyData);
  for (auto _ : state) {
    window.DisplayModel().ShowDisplayMessage(window.LinkState().ReplyData);
  }
}
BENCHMARK(BM_SameLine);

void BM_GraphicLine(benchmark::State &state) {
  TForm_Sorvanel &window = Window();
  const QByteArray a(
      "\x01\x02\x03\x04\x05\x06\x07\x00\x01\x02\x03\x04\x05"
      "abc",
      16);
  const QByteArray b(
      "\x07\x06\x05\x04\x03\x02\x01\x00\x07\x06\x05\x04\x03"
      "abc",
      16);
  // Lines 0 to 2 with the two cell patterns in turn.
  TReplyData lines[6];
  for (int k = 0; k < 6; ++k) {
    lines[k] = DisplayReply(static_cast<uint8_t>(k % 3), (k & 1) ? a : b);
  }
  int i = 0;
  for (auto _ : state) {
    window.LinkState().ReplyData = lines[i % 6];
    window.DisplayModel().ShowDisplayMessage(window.LinkState().ReplyData);
    ++i;
  }
}
BENCHMARK(BM_GraphicLine);

}  // namespace
