// What the link reports to its observers, the counters built from it, and
// the capture file written from it.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "capture_reader.h"
#include "capture_writer.h"
#include "fake_port_control.h"
#include "file_size_limit.h"
#include "line_statistics.h"
#include "link_frames.h"
#include "percentile.h"
#include "recording_link_host.h"
#include "reply_handler.h"

namespace {

using namespace std::chrono_literals;
using link_test::DisplayLine;

struct TRecordedFrame {
  QByteArray frame;
  uint8_t result;
  uint8_t error;
};

class TRecordingObserver : public TLinkObserver {
 public:
  void ChunkReceived(TLinkTime, const QByteArray &chunk) override { chunks.push_back(chunk); }
  void CharactersDropped(TLinkTime, size_t count) override { dropped += count; }
  void FrameHandled(TLinkTime, const QByteArray &frame, uint8_t result, uint8_t error,
                    const TReplyData &) override {
    frames.push_back({frame, result, error});
  }
  void AnswerWritten(TLinkTime, const uint8_t *bytes, size_t length, bool) override {
    answers.emplace_back(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(length));
  }
  void AnswerSkipped(TLinkTime) override { ++skipped; }

  std::vector<QByteArray> chunks;
  std::vector<TRecordedFrame> frames;
  std::vector<QByteArray> answers;
  size_t dropped = 0;
  int skipped = 0;
};

class LineObserverTest : public testing::Test {
 protected:
  void SetUp() override {
    port.connected = true;
    handler.SetObserver(&observer);
  }
  TLinkState linkState;
  TTerminalMemory memory;
  TProgramSettings settings;
  TFakePortControl port;
  TRecordingLinkHost host;
  TReplyHandler handler{linkState, memory, settings, port, host, host};
  TRecordingObserver observer;
};

TEST_F(LineObserverTest, AFrameSplitAtAnyOffsetIsReportedOnceWhole) {
  const QByteArray frame = DisplayLine(1);
  for (qsizetype split = 1; split < frame.size(); ++split) {
    observer = TRecordingObserver();
    handler.HandleReply(frame.left(split));
    handler.HandleReply(frame.mid(split));
    ASSERT_EQ(observer.chunks.size(), 2u) << split;
    ASSERT_EQ(observer.frames.size(), 1u) << split;
    EXPECT_EQ(observer.frames[0].frame, frame) << split;
    EXPECT_EQ(observer.frames[0].result, 'M') << split;
    EXPECT_EQ(observer.answers.size(), 1u) << split;
  }
}

TEST_F(LineObserverTest, ReportsFailedChecksHoldOffAndDroppedCharacters) {
  QByteArray broken = DisplayLine(0);
  broken[broken.size() - 2] = static_cast<char>(broken[broken.size() - 2] ^ 0x01);
  handler.HandleReply(broken);
  ASSERT_EQ(observer.frames.size(), 1u);
  EXPECT_EQ(observer.frames[0].result, KELVO_CHECK_FAILED);
  EXPECT_EQ(observer.frames[0].error, KELVO_ERROR_BAD_CHECKSUM);

  linkState.SendSkipCount = 2;
  handler.HandleReply(DisplayLine(0));
  handler.HandleReply(DisplayLine(1));
  handler.HandleReply(DisplayLine(2));
  EXPECT_EQ(observer.skipped, 2);
  ASSERT_EQ(observer.answers.size(), 1u);
  EXPECT_EQ(observer.answers[0], port.written.back());

  handler.HandleReply(QByteArray(TReplyHandler::kReceiveBufferLimit + 100, 'x'));
  EXPECT_EQ(observer.dropped, 100u);
}

TEST(TurnaroundHistogram, BucketEdgesOverflowAndPercentiles) {
  TTurnaroundHistogram histogram;
  histogram.Add(9999ns);   // bucket 0
  histogram.Add(10us);     // an edge opens the next bucket
  histogram.Add(100us);    // coarse: not below 0.1 ms
  histogram.Add(49999us);  // the last bucket
  histogram.Add(50ms);     // overflow
  histogram.Add(2s);       // overflow
  EXPECT_EQ(histogram.Bucket(0), 1u);
  EXPECT_EQ(histogram.Bucket(1), 1u);
  EXPECT_EQ(histogram.Bucket(10), 1u);
  EXPECT_EQ(histogram.Bucket(TTurnaroundHistogram::kBucketCount - 1), 1u);
  EXPECT_EQ(histogram.Overflow(), 2u);
  EXPECT_EQ(histogram.Count(), 6u);
  EXPECT_EQ(histogram.Min(), 9999ns);
  EXPECT_EQ(histogram.Max(), 2s);

  const TTurnaroundHistogram::TCoarseCounts coarse = histogram.CoarseCounts();
  EXPECT_EQ(coarse[0], 2u);  // < 0.1 ms
  EXPECT_EQ(coarse[1], 1u);  // 0.1 .. 0.2 ms
  EXPECT_EQ(coarse[8], 1u);  // 20 .. 50 ms
  EXPECT_EQ(coarse[9], 2u);  // 50 ms and more

  EXPECT_EQ(histogram.Percentile(0.5), 110us);  // the third value's bucket edge
  EXPECT_EQ(histogram.Percentile(0.99), 2s);    // in the overflow: the exact maximum
  TTurnaroundHistogram one;
  one.Add(3us);
  EXPECT_EQ(one.Percentile(0.5), 3us);  // never above the maximum
  histogram.Clear();
  EXPECT_EQ(histogram.Count(), 0u);
  EXPECT_EQ(histogram.Percentile(0.5), 0ns);
}

// The nearest rank: of four values the second is the median, not the third;
// the share is held to the first and the last value.
TEST(PercentileRank, TheNearestRankFromTheFirstToTheLastValue) {
  EXPECT_EQ(PercentileRank(0.5, 4), 2u);
  EXPECT_EQ(PercentileRank(0.5, 5), 3u);
  EXPECT_EQ(PercentileRank(0.99, 100), 99u);
  EXPECT_EQ(PercentileRank(0.99, 101), 100u);
  EXPECT_EQ(PercentileRank(1.0, 7), 7u);
  EXPECT_EQ(PercentileRank(0.0, 7), 1u);
  EXPECT_EQ(PercentileRank(2.0, 7), 7u);
  EXPECT_EQ(PercentileRank(-1.0, 7), 1u);
  EXPECT_EQ(PercentileRank(std::nan(""), 7), 1u);
  EXPECT_EQ(PercentileRank(0.5, 0), 0u);
}

TEST(LineStatistics, CountsSinceThePortOpenedAndStartsAgainAtTheNextOpen) {
  TLineStatistics statistics;
  const TLinkTime open = TLinkTime() + 100s;
  TReplyData reply;
  statistics.PortChanged(open, TPortEvent::Opened, QStringLiteral("ttyUSB0"));
  statistics.ChunkReceived(open + 2500ms, QByteArray("x"));  // two silent seconds
  statistics.FrameHandled(open + 2500ms, QByteArray(), 'M', 0, reply);
  statistics.AnswerWritten(open + 2501ms, nullptr, 0, true);
  statistics.FrameHandled(open + 2600ms, QByteArray(), 'M', 0, reply);
  statistics.AnswerSkipped(open + 2600ms);
  statistics.FrameHandled(open + 2700ms, QByteArray(), 'K', 0, reply);
  statistics.FrameHandled(open + 2800ms, QByteArray(), KELVO_CHECK_FAILED, KELVO_ERROR_NO_ETX,
                          reply);
  statistics.CharactersDropped(open + 2900ms, 7);
  statistics.PortChanged(open + 3s, TPortEvent::Reopened, QString());

  EXPECT_EQ(statistics.DriveMessages(), 2u);
  EXPECT_EQ(statistics.Answers(), 1u);
  EXPECT_EQ(statistics.SkippedByHoldOff(), 1u);
  EXPECT_EQ(statistics.ProgTermFrames(), 1u);
  EXPECT_EQ(statistics.FailedChecks(), 1u);
  EXPECT_EQ(statistics.FailedChecks(KELVO_ERROR_NO_ETX), 1u);
  EXPECT_EQ(statistics.DroppedCharacters(), 7u);
  EXPECT_EQ(statistics.Reconnects(), 1u);
  EXPECT_EQ(statistics.SilentSeconds(open + 3s), 2u);
  EXPECT_EQ(statistics.SilentSeconds(open + 6500ms), 5u);  // the silence going on
  ASSERT_EQ(statistics.Turnaround().Count(), 1u);
  EXPECT_EQ(statistics.Turnaround().Max(), 1ms);

  statistics.PortChanged(open + 10s, TPortEvent::Opened, QStringLiteral("ttyUSB0"));
  EXPECT_EQ(statistics.DriveMessages(), 0u);
  EXPECT_EQ(statistics.FailedChecks(), 0u);
  EXPECT_EQ(statistics.Reconnects(), 0u);
  EXPECT_EQ(statistics.Turnaround().Count(), 0u);
  EXPECT_EQ(statistics.SilentSeconds(open + 10s), 0u);
  EXPECT_EQ(statistics.OpenedAt(), open + 10s);
}

// The reconnect reopens a lost line with the port's open followed at once by
// its reopen: the counts go on, and each reconnect is counted. An open by
// itself (from the menu, after an alert) starts them again.
TEST(LineStatistics, ReopenOfALostLineGoesOnCountingAndCountsEachReconnect) {
  TLineStatistics statistics;
  const TLinkTime open = TLinkTime() + 100s;
  TReplyData reply;
  statistics.PortChanged(open, TPortEvent::Opened, QStringLiteral("VDRIVE1"));
  for (int reconnect = 1; reconnect <= 3; ++reconnect) {
    const TLinkTime at = open + reconnect * 10s;
    statistics.FrameHandled(at, QByteArray(), 'M', 0, reply);
    statistics.AnswerWritten(at + 1ms, nullptr, 0, true);
    statistics.PortChanged(at + 1s, TPortEvent::Lost, QStringLiteral("VDRIVE1"));
    statistics.PortChanged(at + 2s, TPortEvent::Closed, QStringLiteral("VDRIVE1"));
    statistics.PortChanged(at + 3s, TPortEvent::Opened, QStringLiteral("VDRIVE1"));
    statistics.PortChanged(at + 3s, TPortEvent::Reopened, QStringLiteral("VDRIVE1"));
  }
  EXPECT_EQ(statistics.Reconnects(), 3u);
  EXPECT_EQ(statistics.DriveMessages(), 3u);
  EXPECT_EQ(statistics.Answers(), 3u);
  EXPECT_EQ(statistics.Turnaround().Count(), 3u);
  EXPECT_EQ(statistics.OpenedAt(), open + 33s);

  statistics.PortChanged(open + 40s, TPortEvent::Opened, QStringLiteral("VDRIVE1"));
  statistics.FrameHandled(open + 41s, QByteArray(), 'M', 0, reply);
  statistics.PortChanged(open + 42s, TPortEvent::Reopened, QStringLiteral("VDRIVE1"));
  EXPECT_EQ(statistics.DriveMessages(), 1u);
  EXPECT_EQ(statistics.Reconnects(), 1u);
}

// The monitor opened on a port already open: the time before it is not silence.
TEST(LineStatistics, CountingBegunOnAnOpenPortCountsOnlyTheSilenceFromThen) {
  TLineStatistics statistics;
  const TLinkTime open = TLinkTime() + 100s;
  statistics.Reset(open, open + 30s);
  EXPECT_EQ(statistics.OpenedAt(), open);
  EXPECT_EQ(statistics.SilentSeconds(open + 30500ms), 0u);
  for (int i = 1; i <= 20; ++i) {
    statistics.ChunkReceived(open + 30s + i * 100ms, QByteArray("x"));  // a busy line
  }
  EXPECT_EQ(statistics.SilentSeconds(open + 32s), 0u);
  EXPECT_EQ(statistics.SilentSeconds(open + 34500ms), 2u);  // quiet since the chunk at 32 s

  statistics.Reset(std::nullopt, open + 40s);  // no port open: no silence counted
  EXPECT_EQ(statistics.SilentSeconds(open + 50s), 0u);
}

TEST(CaptureFile, WhatIsWrittenReadsBackAsTheSameRecords) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("line.jsonl"));
  TCaptureWriter writer;
  ASSERT_TRUE(writer.Open(path, QStringLiteral("tty\"S0")));
  const TLinkTime t = TLinkClock::now();
  const QByteArray chunk("\x02\x31\x00\xff\x03", 5);
  const uint8_t answer[] = {0x02, 0x30, 0x03};
  writer.ChunkReceived(t + 1ms, chunk);
  writer.AnswerWritten(t + 2ms, answer, sizeof answer, true);
  writer.AnswerWritten(t + 3ms, answer, sizeof answer, false);
  writer.PortChanged(t + 4ms, TPortEvent::Lost, QStringLiteral("ttyS0"));
  writer.Close();

  std::vector<TCaptureRecord> records;
  QString error;
  ASSERT_TRUE(ReadCaptureFile(path, records, error)) << error.toStdString();
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[0].kind, TCaptureRecord::TKind::Header);
  EXPECT_EQ(records[1].event, QStringLiteral("open"));
  EXPECT_EQ(records[1].port, QStringLiteral("tty\"S0"));
  const auto expected = [&](TCaptureRecord::TKind kind, TLinkTime when, QByteArray bytes,
                            bool failed) {
    TCaptureRecord record;
    record.kind = kind;
    record.t = CaptureSeconds(when);
    record.bytes = std::move(bytes);
    record.failed = failed;
    return record;
  };
  const QByteArray answerBytes(reinterpret_cast<const char *>(answer), sizeof answer);
  for (auto [index, record] :
       {std::pair{2, expected(TCaptureRecord::TKind::Rx, t + 1ms, chunk, false)},
        std::pair{3, expected(TCaptureRecord::TKind::Tx, t + 2ms, answerBytes, false)},
        std::pair{4, expected(TCaptureRecord::TKind::Tx, t + 3ms, answerBytes, true)}}) {
    EXPECT_EQ(records[index].kind, record.kind) << index;
    EXPECT_EQ(records[index].bytes, record.bytes) << index;
    EXPECT_EQ(records[index].failed, record.failed) << index;
    EXPECT_NEAR(records[index].t, record.t, 1e-6) << index;
  }
  EXPECT_EQ(records[5].event, QStringLiteral("lost"));

  // A line cut short by a crash ends the file; a bad line inside it is an error.
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::Append));
  file.write("{\"t\": 5.0, \"dir\": \"rx\", \"he");
  file.close();
  EXPECT_TRUE(ReadCaptureFile(path, records, error));
  EXPECT_EQ(records.size(), 6u);
  ASSERT_TRUE(file.open(QIODevice::Append));
  file.write("\n{\"t\": 6.0}\n");
  file.close();
  EXPECT_FALSE(ReadCaptureFile(path, records, error));
  EXPECT_TRUE(error.startsWith(QStringLiteral("line 7:"))) << error.toStdString();
}

TEST_F(LineObserverTest, AFailingCaptureDiskIsReportedOnceAndTheLinkGoesOn) {
  TCaptureWriter writer;
  std::vector<QString> failures;
  writer.OnFailure = [&](const QString &reason) { failures.push_back(reason); };
  ASSERT_FALSE(writer.Open(QStringLiteral("/nonexistent-folder/line.jsonl")));
  EXPECT_EQ(failures.size(), 1u);

  // The disk fills up after the first few lines (a partial line counts as
  // a failed write too).
  QTemporaryDir folder;
  TFileSizeLimit limit(300);
  ASSERT_TRUE(writer.Open(folder.filePath(QStringLiteral("line.jsonl"))));
  TLinkObserverList observers;
  observers.Attach(&writer);
  observers.Attach(&observer);
  handler.SetObserver(&observers);
  for (int i = 0; i < 6; ++i) {
    handler.HandleReply(DisplayLine(static_cast<uint8_t>(i)));
  }
  EXPECT_EQ(failures.size(), 2u);
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_FALSE(writer.Failure().isEmpty());
  EXPECT_EQ(port.written.size(), 6u);
  EXPECT_EQ(observer.answers.size(), 6u);
}

}  // namespace
