#include "line_statistics.h"

#include <algorithm>

#include "frame_bytes.h"
#include "kelvo.h"
#include "percentile.h"

using kelvo::kConverterMessage;
using kelvo::kProgTermFrame;

void TTurnaroundHistogram::Add(TDuration value) {
  value = std::max(value, TDuration::zero());
  const auto index = static_cast<size_t>(value / kBucketWidth);
  if (index < kBucketCount) {
    ++buckets_[index];
  } else {
    ++overflow_;
  }
  min_ = count_ == 0 ? value : std::min(min_, value);
  max_ = count_ == 0 ? value : std::max(max_, value);
  total_ += value;
  ++count_;
}

void TTurnaroundHistogram::Clear() {
  std::fill(buckets_.begin(), buckets_.end(), 0);
  overflow_ = 0;
  count_ = 0;
  min_ = max_ = total_ = TDuration::zero();
}

TTurnaroundHistogram::TDuration TTurnaroundHistogram::Percentile(double q) const {
  if (count_ == 0) {
    return TDuration::zero();
  }
  const uint64_t rank = PercentileRank(q, count_);
  uint64_t seen = 0;
  for (size_t i = 0; i < kBucketCount; ++i) {
    seen += buckets_[i];
    if (seen >= rank) {
      return std::min(kBucketWidth * static_cast<int64_t>(i + 1), max_);
    }
  }
  return max_;  // in the overflow
}

TTurnaroundHistogram::TCoarseCounts TTurnaroundHistogram::CoarseCounts() const {
  TCoarseCounts counts{};
  size_t coarse = 0;
  for (size_t i = 0; i < kBucketCount; ++i) {
    // Bucket i holds [i, i + 1) x width; it belongs below the first edge
    // above its lower end.
    const TDuration lower = kBucketWidth * static_cast<int64_t>(i);
    while (coarse < kCoarseEdges.size() && lower >= kCoarseEdges[coarse]) {
      ++coarse;
    }
    counts[coarse] += buckets_[i];
  }
  counts.back() += overflow_;
  return counts;
}

uint64_t TLineStatistics::FailedChecks() const {
  uint64_t sum = 0;
  for (const uint64_t count : failed_) {
    sum += count;
  }
  return sum;
}

uint64_t TLineStatistics::FailedChecks(uint8_t errorCode) const {
  return failed_[std::min<size_t>(errorCode, kCheckErrorCount)];
}

uint64_t TLineStatistics::SilentSeconds(TLinkTime now) const {
  uint64_t seconds = silentSeconds_;
  if (lastHeard_ && now > *lastHeard_) {
    seconds += static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(now - *lastHeard_).count());
  }
  return seconds;
}

void TLineStatistics::Reset(std::optional<TLinkTime> openedAt) {
  *this = TLineStatistics();
  openedAt_ = openedAt;
  lastHeard_ = openedAt;
}

void TLineStatistics::CountSilence(TLinkTime until) {
  if (lastHeard_) {
    silentSeconds_ = SilentSeconds(until);
  }
}

void TLineStatistics::ChunkReceived(TLinkTime t, const QByteArray &) {
  if (lastHeard_) {
    CountSilence(t);
    lastHeard_ = t;
  }
  lastChunk_ = t;
}

void TLineStatistics::CharactersDropped(TLinkTime, size_t count) {
  dropped_ += count;
}

void TLineStatistics::FrameHandled(TLinkTime, const QByteArray &, uint8_t checkResult,
                                   uint8_t errorCode, const TReplyData &) {
  awaitingAnswer_.reset();
  if (checkResult == kConverterMessage) {
    ++driveMessages_;
    awaitingAnswer_ = lastChunk_;
  } else if (checkResult == kProgTermFrame) {
    ++progTermFrames_;
  } else if (checkResult == KELVO_CHECK_FAILED) {
    ++failed_[std::min<size_t>(errorCode, kCheckErrorCount)];
  } else {
    ++otherFrames_;
  }
}

void TLineStatistics::AnswerWritten(TLinkTime t, const uint8_t *, size_t, bool written) {
  if (!written) {
    ++failedWrites_;
  } else {
    ++answers_;
  }
  if (awaitingAnswer_) {
    turnaround_.Add(t - *awaitingAnswer_);
    awaitingAnswer_.reset();
  }
}

void TLineStatistics::AnswerSkipped(TLinkTime) {
  ++skipped_;
  awaitingAnswer_.reset();
}

void TLineStatistics::PortChanged(TLinkTime t, TPortEvent event, const QString &) {
  switch (event) {
    case TPortEvent::Opened:
      Reset(t);
      break;
    case TPortEvent::Reopened:
      ++reconnects_;
      CountSilence(t);
      lastHeard_ = t;
      break;
    case TPortEvent::Lost:
    case TPortEvent::Closed:
      CountSilence(t);
      lastHeard_.reset();
      break;
  }
}
