#include "recent_writes.h"

#include <algorithm>
#include <chrono>
#include <utility>

TMonotonicClock SteadyClockMs() {
  return [] {
    return static_cast<qint64>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
  };
}

TRecentWrites::TRecentWrites(TMonotonicClock clock)
    : clock_(std::move(clock)),
      writtenAt_(TTerminalMemory::kSize, kNever),
      rowWritten_(kRowCount, false),
      lastTake_(clock_()) {}

void TRecentWrites::Mark(uint32_t address, uint32_t length) {
  if (address >= TTerminalMemory::kSize) {
    return;
  }
  const uint32_t end = std::min<uint32_t>(TTerminalMemory::kSize - address, length) + address;
  const qint64 now = clock_();
  for (uint32_t byte = address; byte < end; ++byte) {
    writtenAt_[byte] = now;
    rowWritten_[byte / kRowLength] = true;
  }
}

bool TRecentWrites::IsRecent(uint32_t address) const {
  return address < TTerminalMemory::kSize && writtenAt_[address] > clock_() - kHoldMs;
}

std::vector<int> TRecentWrites::TakeChangedRows() {
  const qint64 now = clock_();
  // A byte written at t is lit while t > now - kHoldMs; it went out since the
  // last call when it was lit then and is not now.
  const qint64 litBefore = lastTake_ - kHoldMs;
  const qint64 litNow = now - kHoldMs;
  std::vector<int> rows;
  for (int row = 0; row < kRowCount; ++row) {
    bool changed = rowWritten_[row];
    for (uint32_t i = 0; i < kRowLength && !changed; ++i) {
      const qint64 written = writtenAt_[row * kRowLength + i];
      changed = written > litBefore && written <= litNow;
    }
    if (changed) {
      rows.push_back(row);
    }
  }
  std::fill(rowWritten_.begin(), rowWritten_.end(), false);
  lastTake_ = now;
  return rows;
}
