// What the line observers cost the reply handler per converter message: a
// display line handled and answered with nobody watching (the program with
// the monitor closed), with an observer that does nothing (the price of the
// hook itself), with the monitor's counters, and with a capture file.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "capture_writer.h"
#include "fake_port_control.h"
#include "line_statistics.h"
#include "link_frames.h"
#include "recording_link_host.h"
#include "reply_handler.h"

namespace {

enum TWatcher { kNobody, kEmptyObserver, kStatistics, kCaptureFile };

void BM_HandleDisplayLine(benchmark::State &state) {
  TLinkState linkState;
  TTerminalMemory memory;
  TProgramSettings settings;
  TFakePortControl port;
  port.connected = true;
  TRecordingLinkHost host;
  TReplyHandler handler(linkState, memory, settings, port, host, host);
  TLinkObserver emptyObserver;
  TLineStatistics statistics;
  TCaptureWriter capture;
  QTemporaryDir folder;
  switch (state.range(0)) {
    case kEmptyObserver:
      handler.SetObserver(&emptyObserver);
      break;
    case kStatistics:
      handler.SetObserver(&statistics);
      break;
    case kCaptureFile:
      capture.Open(folder.filePath(QStringLiteral("line.jsonl")));
      handler.SetObserver(&capture);
      break;
    default:
      break;
  }
  const QByteArray frame = link_test::DisplayLine(1);
  for (auto _ : state) {
    handler.HandleReply(frame);
    port.written.clear();
  }
}
BENCHMARK(BM_HandleDisplayLine)
    ->Arg(kNobody)
    ->Arg(kEmptyObserver)
    ->Arg(kStatistics)
    ->Arg(kCaptureFile);

}  // namespace

BENCHMARK_MAIN();
