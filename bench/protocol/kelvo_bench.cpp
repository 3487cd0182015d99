// Speed of request compilation and reply checking, and proof that neither
// allocates: every benchmark reports allocations per iteration and fails if
// there were any.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "allocation_counter.h"
#include "frame_bytes.h"
#include "kelvo.h"
#include "support/frame_encoder.h"

namespace {

using kelvo_bench::AllocationCount;

void ReportAllocations(benchmark::State &state, size_t before) {
  const size_t allocations = AllocationCount() - before;
  state.counters["allocs_per_iter"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  if (allocations != 0) {
    state.SkipWithError("the timed code allocated on the heap");
  }
}

void BM_CompileMessage(benchmark::State &state) {
  Kelvo_SetButtonStatus(beReleaseAll, 0);
  Kelvo_SetType(0);
  Kelvo_SetButtonStatus(bePressed, 0x0104);
  TTerminalMessageFrame record{};
  const size_t before = AllocationCount();
  for (auto _ : state) {
    Kelvo_CompileMessage(&record);
    benchmark::DoNotOptimize(record);
    benchmark::ClobberMemory();
  }
  ReportAllocations(state, before);
  Kelvo_SetButtonStatus(beReleaseAll, 0);
}
BENCHMARK(BM_CompileMessage);

// A converter frame whose payload is 'length' bytes: 2 * length + 6 characters.
std::vector<uint8_t> ConverterFrame(size_t length) {
  std::vector<uint8_t> payload(length);
  for (size_t i = 0; i < length; ++i) {
    payload[i] = static_cast<uint8_t>(0x20 + i * 7);
  }
  payload[0] = kelvo::kConverterMessage;
  return kelvo_test::EncodeFrame(payload);
}

void BM_Check(benchmark::State &state) {
  const std::vector<uint8_t> text = ConverterFrame(static_cast<size_t>(state.range(0)));
  uint8_t decoded[KELVO_MAX_PAYLOAD];
  size_t length = 0;
  state.SetLabel(std::to_string(text.size()) + " characters");
  const size_t before = AllocationCount();
  for (auto _ : state) {
    uint8_t result = Kelvo_Check(text.data(), text.size(), decoded, &length);
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(decoded);
    benchmark::ClobberMemory();
  }
  ReportAllocations(state, before);
  if (Kelvo_Check(text.data(), text.size(), decoded, &length) != kelvo::kConverterMessage) {
    state.SkipWithError("the frame did not check");
  }
}
// Payloads of 8, 20 and 255 bytes: frames of 22, 46 and 516 characters.
BENCHMARK(BM_Check)->Arg(8)->Arg(20)->Arg(255);

}  // namespace

int main(int argc, char **argv) {
  if (!kelvo_bench::AllocationCounterWorks()) {
    std::fprintf(stderr, "allocation counter is not hooked in; cannot show allocation-freeness\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
