// The memory view's 250 ms tick: bring the table's snapshot up to date and
// find the rows whose highlight changed. With nothing written, and with one
// 16-byte block written by the converter per tick.
#include <benchmark/benchmark.h>

#include "memory_view.h"

namespace {

void BM_MemoryViewTickIdle(benchmark::State &state) {
  TTerminalMemory memory;
  TForm_MemoryView view(memory);
  view.Refresh();
  for (auto _ : state) {
    view.Refresh();
  }
}
BENCHMARK(BM_MemoryViewTickIdle);

void BM_MemoryViewTickAfterBlockWrite(benchmark::State &state) {
  TTerminalMemory memory;
  TForm_MemoryView view(memory);
  uint32_t address = 0;
  uint8_t value = 0;
  for (auto _ : state) {
    for (uint32_t i = 0; i < 16; ++i) {
      memory.Write(address + i, value);
    }
    view.MemoryBlockWritten(address, 16);
    view.Refresh();
    address = (address + 16) % TTerminalMemory::kSize;
    ++value;
  }
}
BENCHMARK(BM_MemoryViewTickAfterBlockWrite);

// One converter write while the view exists: the stamp the window forwards.
void BM_MemoryBlockStamp(benchmark::State &state) {
  TTerminalMemory memory;
  TForm_MemoryView view(memory);
  uint32_t address = 0;
  for (auto _ : state) {
    view.MemoryBlockWritten(address, 16);
    address = (address + 16) % TTerminalMemory::kSize;
  }
}
BENCHMARK(BM_MemoryBlockStamp);

}  // namespace
