#include "stats.h"

#include <algorithm>
#include <cinttypes>

#include "link/exchange/percentile.h"

namespace vdrive {

void TurnaroundHistogram::Add(std::chrono::nanoseconds turnaround) {
  turnaround = std::max(turnaround, std::chrono::nanoseconds(0));
  const auto bin = std::min<int64_t>(turnaround.count() / (kBinMicroseconds * 1000), kBins - 1);
  ++bins_[static_cast<size_t>(bin)];
  ++count_;
  max_ = std::max(max_, turnaround);
}

double TurnaroundHistogram::QuantileMs(double p) const {
  if (count_ == 0) {
    return 0.0;
  }
  const uint64_t rank = PercentileRank(p, count_);
  uint64_t seen = 0;
  for (int bin = 0; bin < kBins; ++bin) {
    seen += bins_[static_cast<size_t>(bin)];
    if (seen >= rank) {
      return std::min((bin + 1) * kBinMicroseconds / 1000.0, MaxMs());
    }
  }
  return MaxMs();
}

void PrintStats(std::FILE *out, const DriveStats &stats, const ReceiveCounts &received,
                const LineCounts &line, double seconds) {
  const uint64_t invalid = received.brokenFrames + received.otherFrames;
  std::fprintf(out, "duration s: %.1f\n", seconds);
  std::fprintf(out, "messages sent: %" PRIu64 "\n", stats.messagesSent);
  std::fprintf(out, "messages per s: %.1f\n", seconds > 0 ? stats.messagesSent / seconds : 0.0);
  std::fprintf(out, "answers: %" PRIu64 "\n", stats.answers);
  std::fprintf(out, "time-outs: %" PRIu64 "\n", stats.timeouts);
  std::fprintf(out, "invalid answers: %" PRIu64 "\n", invalid);
  std::fprintf(out, "broken frames: %" PRIu64 "\n", received.brokenFrames);
  std::fprintf(out, "other frames: %" PRIu64 "\n", received.otherFrames);
  std::fprintf(out, "junk bytes: %" PRIu64 "\n", received.junkBytes);
  std::fprintf(out, "unexpected answers: %" PRIu64 "\n", line.unexpectedAnswers);
  std::fprintf(out, "unread bytes discarded: %" PRIu64 "\n", line.discardedBytes);
  std::fprintf(out, "hand-held terminal frames: %" PRIu64 "\n", stats.handHeldFrames);
  std::fprintf(out, "turnaround p50 ms: %.2f\n", stats.turnaround.QuantileMs(0.50));
  std::fprintf(out, "turnaround p99 ms: %.2f\n", stats.turnaround.QuantileMs(0.99));
  std::fprintf(out, "turnaround max ms: %.2f\n", stats.turnaround.MaxMs());
}

}  // namespace vdrive
