#include "engine/effect_modules.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>

namespace rivulo {
namespace {

using std::chrono::milliseconds;

// An arbitrary, non-zero point on the steady clock (zero means "unset").
const SteadyTime kT0 = SteadyTime{} + std::chrono::hours(1000);

EffectConfig throttleAt(uint64_t rate) {
  EffectConfig c;
  c.throttleBytesPerSecond = rate;
  return c;
}

TEST(ThrottleModule, PacketsWaitForTheirTransmissionSlot) {
  ThrottleModule throttle;
  EffectConfig c = throttleAt(1024);
  EXPECT_EQ(throttle.delay(1, 1500, c, kT0), 1465u);  // 1464.84 rounded up
  EXPECT_EQ(throttle.delay(1, 1500, c, kT0), 2930u);  // queued behind the first
  // The other direction has its own slot.
  EXPECT_EQ(throttle.delay(0, 1500, c, kT0), 1465u);
  // After a long pause only the packet's own transmission time counts.
  EXPECT_EQ(throttle.delay(1, 1500, c, kT0 + std::chrono::seconds(60)), 1465u);
}

TEST(ThrottleModule, NoRateOrEmptyPacketLeavesTheSlotAlone) {
  ThrottleModule throttle;
  EXPECT_EQ(throttle.delay(0, 1500, throttleAt(0), kT0), 0u);
  EXPECT_EQ(throttle.delay(0, 0, throttleAt(1024), kT0), 0u);
  EXPECT_EQ(throttle.delay(0, 1500, throttleAt(1024), kT0), 1465u);
}

TEST(ThrottleModule, WaitIsCappedWhileTheSlotKeepsAdvancing) {
  ThrottleModule throttle;
  EffectConfig c = throttleAt(1024);
  // 64 KB at 1 KB/s is 64 s of transmission: capped at 30 s.
  EXPECT_EQ(throttle.delay(0, 65535, c, kT0), 30000u);
  // 65 s later the backlog (64 s) has passed, so the slot is back at now.
  EXPECT_EQ(throttle.delay(0, 1024, c, kT0 + std::chrono::seconds(65)), 1000u);
  // Reset forgets the backlog of both directions.
  throttle.delay(1, 65535, c, kT0);
  throttle.reset();
  EXPECT_EQ(throttle.delay(1, 1024, c, kT0), 1000u);
}

TEST(BurstModule, PacketsWaitForTheEndOfTheWindow) {
  BurstModule burst;
  EffectConfig c;
  c.burstMs = 250;
  struct Case {
    int atMs;
    uint32_t wait;
  };
  for (Case k : std::array<Case, 5>{{{0, 250}, {100, 150}, {249, 1}, {250, 250}, {300, 200}}}) {
    EXPECT_EQ(burst.delay(0, c, kT0 + milliseconds(k.atMs)), k.wait) << "at " << k.atMs << " ms";
  }
  // The outbound window was never opened.
  EXPECT_EQ(burst.delay(1, c, kT0 + milliseconds(300)), 250u);
  burst.reset();
  EXPECT_EQ(burst.delay(0, c, kT0 + milliseconds(301)), 250u);
  c.burstMs = 0;
  EXPECT_EQ(burst.delay(0, c, kT0), 0u);
  c.burstMs = 90000;
  EXPECT_EQ(burst.delay(1, c, kT0 + std::chrono::hours(1)), 30000u);
}

TEST(NthDropModule, DropsEveryNthPerDirectionAndRestartsAfterReset) {
  NthDropModule nth;
  EffectConfig off;
  EffectConfig every3;
  every3.everyN = 3;
  // 0 and 1 mean off and do not count.
  for (uint32_t n : {0u, 1u}) {
    off.everyN = n;
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(nth.shouldDrop(0, off));
  }
  std::array<bool, 6> expected{false, false, true, false, false, true};
  for (bool drop : expected) EXPECT_EQ(nth.shouldDrop(0, every3), drop);
  EXPECT_FALSE(nth.shouldDrop(1, every3));  // outbound counts on its own
  EXPECT_FALSE(nth.shouldDrop(0, every3));
  nth.reset();
  for (bool drop : expected) EXPECT_EQ(nth.shouldDrop(0, every3), drop);
}

// The certain cases (at or beyond 0 % and 100 %) must not consume random
// numbers: a module that answered them follows the same sequence as a fresh
// one with the same seed.
TEST(PercentModules, BoundsDecideWithoutDrawing) {
  for (uint32_t seed : {1u, 42u}) {
    DropModule drop(seed);
    DuplicateModule duplicate(seed);
    DropModule dropReference(seed);
    DuplicateModule duplicateReference(seed);
    EffectConfig c;
    for (double p : {0.0, -5.0, 100.0, 250.0}) {
      c.dropPercent = p;
      c.duplicatePercent = p;
      bool expected = p >= 100.0;
      for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(drop.shouldDrop(c), expected) << p;
        EXPECT_EQ(duplicate.shouldDuplicate(c), expected) << p;
      }
    }
    c.dropPercent = 50.0;
    c.duplicatePercent = 50.0;
    for (int i = 0; i < 64; ++i) {
      ASSERT_EQ(drop.shouldDrop(c), dropReference.shouldDrop(c));
      ASSERT_EQ(duplicate.shouldDuplicate(c), duplicateReference.shouldDuplicate(c));
    }
  }
}

TEST(PercentModules, RateFollowsThePercentage) {
  DropModule drop(7);
  DuplicateModule duplicate(8);
  EffectConfig c;
  c.dropPercent = 30.0;
  c.duplicatePercent = 2.5;
  int drops = 0, duplicates = 0;
  const int n = 100000;
  for (int i = 0; i < n; ++i) {
    drops += drop.shouldDrop(c);
    duplicates += duplicate.shouldDuplicate(c);
  }
  EXPECT_NEAR(drops / double(n), 0.30, 0.01);
  EXPECT_NEAR(duplicates / double(n), 0.025, 0.003);
}

TEST(JitterModule, DrawsUniformlyFromZeroToTheBoundInclusive) {
  JitterModule jitter(3);
  EffectConfig c;
  EXPECT_EQ(jitter.delay(c), 0u);
  c.jitterMs = 5;
  std::array<int, 6> seen{};
  const int n = 60000;
  for (int i = 0; i < n; ++i) {
    uint32_t d = jitter.delay(c);
    ASSERT_LE(d, 5u);
    ++seen[d];
  }
  for (int count : seen) EXPECT_NEAR(count, n / 6, n / 6 / 20);
  c.jitterMs = 30000;
  for (int i = 0; i < 1000; ++i) ASSERT_LE(jitter.delay(c), 30000u);
}

TEST(CombinedDelay, SumsInSixtyFourBitsAndCaps) {
  EXPECT_EQ(combinedDelayMs(0, 0, 0, 0, 0), 0u);
  EXPECT_EQ(combinedDelayMs(10, 100, 20, 30, 5), 165u);
  EXPECT_EQ(combinedDelayMs(0, 30000, 5000, 0, 0), 30000u);
  // Would wrap to a small number in 32 bits.
  EXPECT_EQ(combinedDelayMs(0xFFFFFFFFu, 2, 0, 0, 0), 30000u);
}

}  // namespace
}  // namespace rivulo
