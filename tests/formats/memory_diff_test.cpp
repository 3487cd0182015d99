#include "memory_diff.h"

#include <gtest/gtest.h>

namespace {

TTerminalMemory With(std::initializer_list<std::pair<uint32_t, uint8_t>> bytes) {
  TTerminalMemory memory;
  for (const auto &[address, value] : bytes) {
    memory.Write(address, value);
  }
  return memory;
}

TEST(MemoryDiff, RunsAtTheEdgesAndRunsOneEqualByteApart) {
  const TTerminalMemory zero;
  EXPECT_TRUE(FindDifferingRuns(zero, zero).empty());

  // First byte, last byte, and two runs with one equal byte between them.
  const TTerminalMemory other =
      With({{0x0000, 1}, {0x0100, 2}, {0x0101, 3}, {0x0103, 4}, {0x1FFE, 5}, {0x1FFF, 6}});
  const std::vector<TMemoryDiffRun> expected = {{0x0000, 1}, {0x0100, 2}, {0x0103, 1}, {0x1FFE, 2}};
  EXPECT_EQ(FindDifferingRuns(zero, other), expected);
  EXPECT_EQ(FindDifferingRuns(other, zero), expected);

  TTerminalMemory full;
  for (uint32_t a = 0; a < TTerminalMemory::kSize; ++a) {
    full.Write(a, 0xFF);
  }
  EXPECT_EQ(FindDifferingRuns(zero, full),
            std::vector<TMemoryDiffRun>({{0x0000, TTerminalMemory::kSize}}));
}

TEST(MemoryDiff, RunLineShowsAddressThenBothSidesBytes) {
  const TTerminalMemory a = With({{0x1FFE, 0xAB}, {0x1FFF, 0x0C}});
  const TTerminalMemory b;
  EXPECT_EQ(FormatDiffRun({0x1FFE, 2}, a, b), QStringLiteral("0x1FFE  AB 0C | 00 00"));
  EXPECT_EQ(FormatMemoryAddress(0x00A0), QStringLiteral("0x00A0"));
  EXPECT_EQ(FormatDiffRun({0x1FFD, 3}, a, b, 2), QStringLiteral("0x1FFD  00 AB … | 00 00 …"));
}

}  // namespace
