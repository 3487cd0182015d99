// Counts of the drive's exchanges and the terminal's turnaround times.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "frame_receiver.h"
#include "line_link.h"

namespace vdrive {

// Turnaround times in 10 µs bins up to 200 ms; longer ones count in the last.
class TurnaroundHistogram {
 public:
  static constexpr int kBinMicroseconds = 10;
  static constexpr int kBins = 20000;

  void Add(std::chrono::nanoseconds turnaround);
  uint64_t Count() const { return count_; }
  // The p-quantile (0 < p <= 1) in milliseconds, to the bin's upper edge.
  double QuantileMs(double p) const;
  double MaxMs() const { return max_.count() / 1e6; }

 private:
  std::array<uint32_t, kBins> bins_{};
  uint64_t count_ = 0;
  std::chrono::nanoseconds max_{0};
};

struct DriveStats {
  uint64_t messagesSent = 0;
  uint64_t answers = 0;
  uint64_t timeouts = 0;
  uint64_t handHeldFrames = 0;
  TurnaroundHistogram turnaround;
};

// The report printed at exit with --stats, one "name: value" per line.
void PrintStats(std::FILE *out, const DriveStats &stats, const ReceiveCounts &received,
                const LineCounts &line, double seconds);

}  // namespace vdrive
