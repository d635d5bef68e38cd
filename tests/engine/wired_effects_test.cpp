#include "engine/wired_effects.h"

#include <gtest/gtest.h>

namespace rivulo {
namespace {

TEST(WiredEffects, PrintsBothHalvesInThePanelFormats) {
  ActiveEffects effects;
  effects.inbound.latencyMs = 100;
  effects.inbound.holdMs = 5000;
  effects.inbound.burstMs = 250;
  effects.inbound.jitterMs = 7;
  effects.inbound.dropPercent = 75.0;
  effects.inbound.duplicatePercent = 5.04;
  effects.inbound.everyN = 10;
  effects.inbound.block = true;
  effects.outbound.throttleBytesPerSecond = 51200;
  const std::array<std::string, 6> expected{
      "IN   latency 100ms  hold 5000ms  burst 250ms",
      "     jitter 7ms  drop 75.0%  dup 5.0%  everyN 10",
      "OUT  latency 0ms  hold 0ms  burst 0ms",
      "     jitter 0ms  drop 0.0%  dup 0.0%  everyN 0",
      "Throttle: IN OFF  OUT ON",
      "Block:    IN ON  OUT OFF",
  };
  EXPECT_EQ(wiredEffectsLines(effects), expected);
}

}  // namespace
}  // namespace rivulo
