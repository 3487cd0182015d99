// Which bytes of the terminal memory the converter wrote lately: a write time
// per byte, read by the memory view to highlight them until they are
// kHoldMs old. Main thread only; the clock is injectable for tests.
#pragma once

#include <QtGlobal>
#include <functional>
#include <limits>
#include <vector>

#include "terminal_memory.h"

// Milliseconds on a clock that never goes back.
using TMonotonicClock = std::function<qint64()>;
TMonotonicClock SteadyClockMs();

class TRecentWrites {
 public:
  static constexpr qint64 kHoldMs = 5000;  // the view's note names it: "5 seconds"
  static constexpr uint32_t kRowLength = 16;
  static constexpr int kRowCount = TTerminalMemory::kSize / kRowLength;

  explicit TRecentWrites(TMonotonicClock clock = SteadyClockMs());

  // 'length' bytes from 'address' were written now. Bytes outside the image
  // are left out, as the memory leaves them out.
  void Mark(uint32_t address, uint32_t length);
  // Written less than kHoldMs ago.
  bool IsRecent(uint32_t address) const;
  // The 16-byte rows whose highlight changed since the last call: rows
  // written since, and rows with a byte whose highlight has run out since.
  // In row order.
  std::vector<int> TakeChangedRows();

 private:
  static constexpr qint64 kNever = std::numeric_limits<qint64>::min();

  TMonotonicClock clock_;
  std::vector<qint64> writtenAt_;
  std::vector<bool> rowWritten_;  // since the last TakeChangedRows
  qint64 lastTake_;
};
