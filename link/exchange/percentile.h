// The rank rule of every turnaround figure (p50, p99, max) the program, its
// tools and its benchmarks report: the nearest rank. Header only, so a tool
// that links no port code can use it.
#pragma once

#include <cmath>
#include <cstdint>

// The rank, counted from 1 in ascending order, of the value at or below which
// a share 'share' (0..1) of 'count' values lie: ceil(share x count), at least
// 1 and at most 'count'. 0 when there are no values.
inline uint64_t PercentileRank(double share, uint64_t count) {
  if (count == 0) {
    return 0;
  }
  const double rank = std::ceil(share * static_cast<double>(count));
  if (!(rank > 1.0)) {
    return 1;  // also for a share that is not a number
  }
  return rank < static_cast<double>(count) ? static_cast<uint64_t>(rank) : count;
}
