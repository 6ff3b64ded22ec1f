// Cost of a register access through the simulated bus, with the trace off,
// recorded in memory, and written as text.
#include <benchmark/benchmark.h>

#include <sstream>

#include "Simulator/Platform.h"

extern "C" {
#include <Library/IoLib.h>
}

namespace {

enum class Tracing { Off, Recorded, Text };

void RegisterWrites(benchmark::State& state) {
  sim::Platform platform;
  std::ostringstream text;
  auto mode = static_cast<Tracing>(state.range(0));
  platform.trace().setRecording(mode == Tracing::Recorded);
  if (mode == Tracing::Text) platform.trace().setStream(&text);
  uint32_t entry = 0;
  for (auto _ : state) {
    MmioWrite32(0xFB00211C, (entry++ & 0xFFF) << 8);
    if (mode == Tracing::Recorded && platform.trace().records().size() > 1'000'000) platform.trace().clear();
    if (mode == Tracing::Text && text.tellp() > (1 << 26)) text.str({});
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(RegisterWrites)->Arg(static_cast<int>(Tracing::Off))->Arg(static_cast<int>(Tracing::Recorded))->Arg(
    static_cast<int>(Tracing::Text));

}  // namespace

BENCHMARK_MAIN();
