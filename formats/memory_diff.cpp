#include "memory_diff.h"

#include <QLatin1Char>
#include <algorithm>

std::vector<TMemoryDiffRun> FindDifferingRuns(const TTerminalMemory &a, const TTerminalMemory &b) {
  std::vector<TMemoryDiffRun> runs;
  const uint8_t *left = a.Bytes();
  const uint8_t *right = b.Bytes();
  uint32_t address = 0;
  while (address < TTerminalMemory::kSize) {
    if (left[address] == right[address]) {
      ++address;
      continue;
    }
    const uint32_t start = address;
    while (address < TTerminalMemory::kSize && left[address] != right[address]) {
      ++address;
    }
    runs.push_back({start, address - start});
  }
  return runs;
}

QString FormatMemoryAddress(uint32_t address) {
  return QStringLiteral("0x") +
         QString::number(address, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

QString FormatMemoryBytes(const TTerminalMemory &memory, uint32_t address, uint32_t length,
                          uint32_t limit) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  const uint32_t shown = std::min(length, limit);
  QString text;
  text.reserve(static_cast<qsizetype>(shown) * 3 + 2);
  for (uint32_t i = 0; i < shown; ++i) {
    const uint8_t value = memory.Read(address + i);
    if (i > 0) {
      text += QLatin1Char(' ');
    }
    text += QLatin1Char(kHexDigits[value >> 4]);
    text += QLatin1Char(kHexDigits[value & 0x0F]);
  }
  if (shown < length) {
    text += QStringLiteral(" …");
  }
  return text;
}

QString FormatDiffRun(const TMemoryDiffRun &run, const TTerminalMemory &a, const TTerminalMemory &b,
                      uint32_t limit) {
  return FormatMemoryAddress(run.address) + QStringLiteral("  ") +
         FormatMemoryBytes(a, run.address, run.length, limit) + QStringLiteral(" | ") +
         FormatMemoryBytes(b, run.address, run.length, limit);
}
