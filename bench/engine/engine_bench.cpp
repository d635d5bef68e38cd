// How many packets per second the engine's capture loop can move when the
// driver is never the bottleneck: an in-memory driver hands out packets as
// fast as the loop asks. This is the ceiling for a real driver.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "engine/divert_engine.h"
#include "tests/support/fake_packet_driver.h"

namespace rivulo {
namespace {

constexpr uint64_t kPacketsPerRun = 200000;

void engineCapture(benchmark::State& state, ActiveEffects effects) {
  auto net = test::FakeNetwork::create();
  DivertEngine engine(net->factory());
  engine.applyEffects(effects);
  const std::vector<uint8_t> packet(512, 0x45);
  for (auto _ : state) {
    net->generate(packet, kPacketsPerRun, true);
    const uint64_t sentBefore = net->sendCount();
    if (!engine.startPipeline("true")) {
      state.SkipWithError(engine.stats().lastError.c_str());
      return;
    }
    if (!net->waitIdle(std::chrono::seconds(60))) {
      state.SkipWithError("capture did not finish");
      return;
    }
    // Delayed packets count once they have been released; duplicates only
    // add sends, so every packet has been sent at least once by then.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (net->sendCount() - sentBefore < kPacketsPerRun - engine.stats().dropped) {
      if (std::chrono::steady_clock::now() > deadline) {
        state.SkipWithError("release did not finish");
        return;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    state.PauseTiming();
    engine.stop();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kPacketsPerRun));
}

ActiveEffects noEffects() { return {}; }

ActiveEffects latencyAndJitter() {
  ActiveEffects e;
  e.inbound.latencyMs = e.outbound.latencyMs = 20;
  e.inbound.jitterMs = e.outbound.jitterMs = 5;
  return e;
}

ActiveEffects duplicateHalf() {
  ActiveEffects e;
  e.inbound.duplicatePercent = e.outbound.duplicatePercent = 50.0;
  return e;
}

BENCHMARK_CAPTURE(engineCapture, no_effects, noEffects())->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(engineCapture, latency20_jitter5, latencyAndJitter())->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(engineCapture, duplicate50, duplicateHalf())->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rivulo
