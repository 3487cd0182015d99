// The line monitor's list at full line rate: one batch of rows (four display
// messages and their answers, what 100 ms bring at about 42 messages a
// second) appended to a full list of 10,000 rows, scrolled to the bottom and
// painted, as the monitor does on every batch. Argument 0 draws the cells
// with Qt's own item delegate, 1 with the list's own (text laid out once per
// row).
#include <benchmark/benchmark.h>
#include <QApplication>
#include <QStyledItemDelegate>

#include "kelvo.h"
#include "line_monitor_model.h"
#include "line_monitor_view.h"
#include "link_frames.h"

namespace {

constexpr int kMessagesPerBatch = 4;

std::vector<TLineRow> Batch(double &ms) {
  static const QByteArray frame = link_test::DisplayLine(1, "Out  50.0 Hz    ");
  TReplyData reply;
  const uint8_t result = Kelvo_Check(reinterpret_cast<const uint8_t *>(frame.constData()),
                                     static_cast<size_t>(frame.size()), reply.bytes, &reply.length);
  TTerminalMessageFrame answer{};
  Kelvo_CompileMessage(&answer);
  std::vector<TLineRow> rows;
  for (int i = 0; i < kMessagesPerBatch; ++i) {
    rows.push_back(ReceivedFrameRow(ms, frame, result, 0, reply));
    rows.push_back(AnswerRow(ms + 0.2, answer.bytes + 1, answer.bytes[0], true));
    ms += 23.5;
  }
  return rows;
}

void BM_MonitorBatchPainted(benchmark::State &state) {
  TLineMonitorModel model;
  TLineKindFilter filter;
  filter.setSourceModel(&model);
  TLineMonitorView view;
  view.setModel(&filter);
  if (state.range(0) == 0) {
    view.setItemDelegate(new QStyledItemDelegate(&view));
  }
  view.resize(870, 480);
  view.show();
  double ms = 0;
  while (static_cast<size_t>(model.rowCount()) < model.Capacity()) {
    model.Append(Batch(ms));
  }
  view.scrollToBottom();
  QApplication::processEvents();
  for (auto _ : state) {
    model.Append(Batch(ms));
    view.scrollToBottom();
    QApplication::processEvents();  // the paint, as the event loop does it
  }
}
BENCHMARK(BM_MonitorBatchPainted)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
