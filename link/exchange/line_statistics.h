// Counters of the line since the last Reset or the last port open (a reopen
// of a lost line goes on counting): frames by kind, failed checks by error
// code, messages left unanswered by the hold-off, silent seconds, characters
// dropped at the receive buffer's bound, reconnects, and the turnaround from
// the chunk that completed a converter message to the write of its answer.
// An observer of the link; no widgets, main thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "link_observer.h"

// Turnaround times in fixed 10 µs buckets up to 50 ms plus an overflow
// count, with exact minimum, maximum and total.
class TTurnaroundHistogram {
 public:
  using TDuration = std::chrono::nanoseconds;
  static constexpr TDuration kBucketWidth = std::chrono::microseconds(10);
  static constexpr size_t kBucketCount = 5000;  // 0 .. 50 ms
  // Upper edges of the coarse buckets shown to the user; one more bucket
  // takes everything from the last edge on.
  static constexpr std::array<TDuration, 9> kCoarseEdges = {
      std::chrono::microseconds(100), std::chrono::microseconds(200),
      std::chrono::microseconds(500), std::chrono::milliseconds(1),
      std::chrono::milliseconds(2),   std::chrono::milliseconds(5),
      std::chrono::milliseconds(10),  std::chrono::milliseconds(20),
      std::chrono::milliseconds(50)};
  using TCoarseCounts = std::array<uint64_t, kCoarseEdges.size() + 1>;

  TTurnaroundHistogram() : buckets_(kBucketCount, 0) {}

  void Add(TDuration value);
  void Clear();

  uint64_t Count() const { return count_; }
  uint64_t Overflow() const { return overflow_; }
  TDuration Min() const { return min_; }
  TDuration Max() const { return max_; }
  TDuration Total() const { return total_; }
  uint64_t Bucket(size_t index) const { return buckets_[index]; }
  // The smallest bucket edge at or below which a share 'q' (0..1) of the
  // values lie, never above the maximum; 0 with no values.
  TDuration Percentile(double q) const;
  TCoarseCounts CoarseCounts() const;

 private:
  std::vector<uint64_t> buckets_;
  uint64_t overflow_ = 0;
  uint64_t count_ = 0;
  TDuration min_{0};
  TDuration max_{0};
  TDuration total_{0};
};

// Error codes of a failed check, KELVO_ERROR_NO_STX .. KELVO_ERROR_NO_ETX.
inline constexpr size_t kCheckErrorCount = 5;

class TLineStatistics : public TLinkObserver {
 public:
  uint64_t DriveMessages() const { return counts_.driveMessages; }
  uint64_t ProgTermFrames() const { return counts_.progTermFrames; }
  uint64_t OtherFrames() const { return counts_.otherFrames; }
  uint64_t Answers() const { return counts_.answers; }
  uint64_t FailedWrites() const { return counts_.failedWrites; }
  uint64_t FailedChecks() const;
  uint64_t FailedChecks(uint8_t errorCode) const;
  uint64_t SkippedByHoldOff() const { return counts_.skipped; }
  uint64_t DroppedCharacters() const { return counts_.dropped; }
  uint64_t Reconnects() const { return counts_.reconnects; }
  // Whole seconds without a received character while the port was open,
  // counting the silence still going on at 'now'.
  uint64_t SilentSeconds(TLinkTime now) const;
  const TTurnaroundHistogram &Turnaround() const { return counts_.turnaround; }
  // When the port last opened; none before the first open.
  std::optional<TLinkTime> OpenedAt() const { return counts_.openedAt; }

  // Starts every count again at 'now': the user cleared them, or counting
  // began with the port already open. 'openedAt' is when
  // the open port opened, none when no port is open. Silence is counted from
  // 'now' on: what the line did before is not known here.
  void Reset(std::optional<TLinkTime> openedAt, TLinkTime now);

  void ChunkReceived(TLinkTime t, const QByteArray &chunk) override;
  void CharactersDropped(TLinkTime t, size_t count) override;
  void FrameHandled(TLinkTime t, const QByteArray &frame, uint8_t checkResult, uint8_t errorCode,
                    const TReplyData &reply) override;
  void AnswerWritten(TLinkTime t, const uint8_t *bytes, size_t length, bool written) override;
  void AnswerSkipped(TLinkTime t) override;
  void PortChanged(TLinkTime t, TPortEvent event, const QString &portName) override;

 private:
  void CountSilence(TLinkTime until);

  // What is counted, from the last reset on.
  struct TCounts {
    uint64_t driveMessages = 0;
    uint64_t progTermFrames = 0;
    uint64_t otherFrames = 0;
    uint64_t answers = 0;
    uint64_t failedWrites = 0;
    std::array<uint64_t, kCheckErrorCount + 1> failed{};  // the last: any other code
    uint64_t skipped = 0;
    uint64_t dropped = 0;
    uint64_t reconnects = 0;
    uint64_t silentSeconds = 0;
    TTurnaroundHistogram turnaround;

    std::optional<TLinkTime> openedAt;
    std::optional<TLinkTime> lastHeard;       // open port: last chunk or the reset
    TLinkTime lastChunk{};                    // the chunk that completed a frame
    std::optional<TLinkTime> awaitingAnswer;  // a converter message not yet answered
  };

  TCounts counts_;
  // The counts as they stood before the open just reported. The reconnect
  // reports its reopen of a lost line (Reopened) right after the port
  // reported the open (Opened): that reopen goes on with these counts instead
  // of starting again. Any other event in between drops them.
  std::optional<TCounts> beforeOpen_;
};
