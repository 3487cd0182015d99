// Where two terminal memory images differ, as runs of consecutive differing
// bytes, and the text both sorvanel-mem and the memory view show for them.
#pragma once

#include <QString>
#include <cstdint>
#include <limits>
#include <vector>

#include "terminal_memory.h"

struct TMemoryDiffRun {
  uint32_t address = 0;  // first differing byte
  uint32_t length = 0;   // differing bytes from there on, at least 1

  bool operator==(const TMemoryDiffRun &other) const = default;
};

// The runs in address order. Two runs always have at least one equal byte
// between them.
std::vector<TMemoryDiffRun> FindDifferingRuns(const TTerminalMemory &a, const TTerminalMemory &b);

// "0x01A0": an address as four upper-case hex digits.
QString FormatMemoryAddress(uint32_t address);

// "50 53 45 54": the bytes of 'memory' from 'address', upper-case hex,
// space separated; at most 'limit' of them, then " …".
QString FormatMemoryBytes(const TTerminalMemory &memory, uint32_t address, uint32_t length,
                          uint32_t limit = std::numeric_limits<uint32_t>::max());

// "0x0100  50 53 45 54 | 00 00 00 00": the run's address, then a's bytes and
// b's bytes (each cut after 'limit' bytes).
QString FormatDiffRun(const TMemoryDiffRun &run, const TTerminalMemory &a, const TTerminalMemory &b,
                      uint32_t limit = std::numeric_limits<uint32_t>::max());
