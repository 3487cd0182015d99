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
  for (const uint64_t count : counts_.failed) {
    sum += count;
  }
  return sum;
}

uint64_t TLineStatistics::FailedChecks(uint8_t errorCode) const {
  return counts_.failed[std::min<size_t>(errorCode, kCheckErrorCount)];
}

uint64_t TLineStatistics::SilentSeconds(TLinkTime now) const {
  uint64_t seconds = counts_.silentSeconds;
  if (counts_.lastHeard && now > *counts_.lastHeard) {
    seconds += static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::seconds>(now - *counts_.lastHeard).count());
  }
  return seconds;
}

void TLineStatistics::Reset(std::optional<TLinkTime> openedAt, TLinkTime now) {
  counts_ = TCounts();
  beforeOpen_.reset();
  counts_.openedAt = openedAt;
  if (openedAt) {
    counts_.lastHeard = std::max(*openedAt, now);
  }
}

void TLineStatistics::CountSilence(TLinkTime until) {
  if (counts_.lastHeard) {
    counts_.silentSeconds = SilentSeconds(until);
  }
}

void TLineStatistics::ChunkReceived(TLinkTime t, const QByteArray &) {
  beforeOpen_.reset();
  if (counts_.lastHeard) {
    CountSilence(t);
    counts_.lastHeard = t;
  }
  counts_.lastChunk = t;
}

void TLineStatistics::CharactersDropped(TLinkTime, size_t count) {
  beforeOpen_.reset();
  counts_.dropped += count;
}

void TLineStatistics::FrameHandled(TLinkTime, const QByteArray &, uint8_t checkResult,
                                   uint8_t errorCode, const TReplyData &) {
  beforeOpen_.reset();
  counts_.awaitingAnswer.reset();
  if (checkResult == kConverterMessage) {
    ++counts_.driveMessages;
    counts_.awaitingAnswer = counts_.lastChunk;
  } else if (checkResult == kProgTermFrame) {
    ++counts_.progTermFrames;
  } else if (checkResult == KELVO_CHECK_FAILED) {
    ++counts_.failed[std::min<size_t>(errorCode, kCheckErrorCount)];
  } else {
    ++counts_.otherFrames;
  }
}

void TLineStatistics::AnswerWritten(TLinkTime t, const uint8_t *, size_t, bool written) {
  beforeOpen_.reset();
  if (!written) {
    ++counts_.failedWrites;
  } else {
    ++counts_.answers;
  }
  if (counts_.awaitingAnswer) {
    counts_.turnaround.Add(t - *counts_.awaitingAnswer);
    counts_.awaitingAnswer.reset();
  }
}

void TLineStatistics::AnswerSkipped(TLinkTime) {
  beforeOpen_.reset();
  ++counts_.skipped;
  counts_.awaitingAnswer.reset();
}

void TLineStatistics::PortChanged(TLinkTime t, TPortEvent event, const QString &) {
  switch (event) {
    case TPortEvent::Opened: {
      TCounts before = std::move(counts_);
      Reset(t, t);
      beforeOpen_ = std::move(before);
      break;
    }
    case TPortEvent::Reopened:
      if (beforeOpen_) {
        counts_ = std::move(*beforeOpen_);
        beforeOpen_.reset();
        counts_.openedAt = t;
        counts_.awaitingAnswer.reset();  // a message of the lost line is never answered
      }
      ++counts_.reconnects;
      CountSilence(t);
      counts_.lastHeard = t;
      break;
    case TPortEvent::Lost:
    case TPortEvent::Closed:
      beforeOpen_.reset();
      CountSilence(t);
      counts_.lastHeard.reset();
      break;
  }
}
