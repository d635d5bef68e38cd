#include "ui/graphs.h"

#include <gtest/gtest.h>

#include "app/editor.h"

#include <cmath>
#include <limits>

namespace rivulo {
namespace {

TEST(GraphScale, RangeAndHeadroom) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* what;
    std::vector<float> a;
    std::vector<float> b;
    float fixedMin, fixedMax;
    float min, max;
  };
  const Case cases[] = {
      {"no valid entry scales 0..1 plus headroom", {-1, nan, inf}, {}, 0, -1, 0, 1.08f},
      {"0..50 from zero tops at 54", {0, 50, 20}, {}, 0, -1, 0, 54},
      {"second series widens the range", {5, 10}, {40}, 0, -1, 0, 43.2f},
      {"automatic bottom gets headroom too", {10, 20}, {}, -1, -1, 9.2f, 20.8f},
      {"automatic bottom never below zero", {1, 20}, {}, -1, -1, 0, 21.52f},
      {"flat line gets a unit range", {5, 5}, {}, -1, -1, 4.92f, 6.08f},
      {"fixed top above the bottom wins", {0, 500}, {}, 0, 100, 0, 108},
      {"fixed top at the bottom is ignored", {0, 50}, {}, 0, 0, 0, 54},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const GraphScale scale = graphScale(seriesRange(c.a, c.b.empty() ? nullptr : &c.b), c.fixedMin, c.fixedMax);
    EXPECT_NEAR(scale.min, c.min, 1e-4);
    EXPECT_NEAR(scale.max, c.max, 1e-4);
  }
  // The top label is "%.0f" of the scale's top.
  char label[16];
  std::snprintf(label, sizeof(label), "%.0f", graphScale(seriesRange({0, 50}, nullptr), 0, -1).max);
  EXPECT_STREQ(label, "54");
  std::snprintf(label, sizeof(label), "%.0f", graphScale(seriesRange({}, nullptr), 0, -1).max);
  EXPECT_STREQ(label, "1");
}

TEST(ActivityScale, RisesToNiceStepsAtOnce) {
  struct Case {
    float peak;
    float scale;
  };
  const Case cases[] = {{0, 100},     {86, 100},    {87, 250},     {130, 250},   {217, 250},
                        {218, 500},   {434, 500},   {435, 1000},   {869, 1000},  {900, 2500},
                        {5000, 10000}, {-5, 100}};
  for (const Case& c : cases) EXPECT_EQ(activityTargetScale(c.peak), c.scale) << c.peak;
  EXPECT_EQ(nextActivityScale(100, activityTargetScale(130)), 250);
}

TEST(ActivityScale, DecaysSixPercentPerSampleDownToTheTarget) {
  float scale = 250;
  int samples = 0;
  while (scale > 100 && samples < 100) {
    const float before = scale;
    scale = nextActivityScale(scale, activityTargetScale(0));
    if (scale > 100) {
      EXPECT_FLOAT_EQ(scale, before * 0.94f);
    }
    ++samples;
  }
  EXPECT_EQ(scale, 100);
  EXPECT_EQ(samples, 15);  // 250 * 0.94^15 < 100 < 250 * 0.94^14
  EXPECT_EQ(nextActivityScale(100, 100), 100);
  EXPECT_FLOAT_EQ(nextActivityScale(1000, 250), 940);
  EXPECT_EQ(nextActivityScale(260, 250), 250);  // never below a target still in force
}

TEST(ActivityBars, ArmedByTheResolvedEffects) {
  enum { Latency, Drop, Throttle, Jitter, Blocked };
  struct Case {
    const char* what;
    bool running;
    ActiveEffects effects;
    std::array<bool, kActivityModules> armed;
  };
  auto in = [](auto set) {
    ActiveEffects e;
    set(e.inbound);
    return e;
  };
  auto out = [](auto set) {
    ActiveEffects e;
    set(e.outbound);
    return e;
  };
  ActiveEffects everything;
  everything.inbound = {100, 20, 5.0, 1000, true, 0, 0, 0.0, 3};
  const Case cases[] = {
      {"nothing wired", true, {}, {}},
      {"an Nth Drop alone arms DROP", true, in([](EffectConfig& c) { c.everyN = 2; }), {false, true}},
      {"every first packet is no drop", true, in([](EffectConfig& c) { c.everyN = 1; }), {}},
      {"outbound drop percent", true, out([](EffectConfig& c) { c.dropPercent = 0.5; }), {false, true}},
      {"latency", true, out([](EffectConfig& c) { c.latencyMs = 1; }), {true}},
      {"throttle", true, in([](EffectConfig& c) { c.throttleBytesPerSecond = 1; }), {false, false, true}},
      {"jitter", true, out([](EffectConfig& c) { c.jitterMs = 3; }), {false, false, false, true}},
      {"block", true, in([](EffectConfig& c) { c.block = true; }), {false, false, false, false, true}},
      {"hold, burst and duplicate arm no bar", true,
       in([](EffectConfig& c) { c.holdMs = 5, c.burstMs = 5, c.duplicatePercent = 50; }), {}},
      {"nothing is armed without a running simulation", false, everything, {}},
      {"everything", true, everything, {true, true, true, true, true}},
  };
  for (const Case& c : cases) EXPECT_EQ(armedModules(c.running, c.effects), c.armed) << c.what;
}

TEST(ActivityBars, AnNthDropAloneArmsDrop) {
  EditorServices services;
  services.openAutoload = false;
  Editor editor(std::move(services));
  auto node = [](int32_t id, NodeType type) {
    Node n;
    n.id = id;
    n.type = static_cast<int32_t>(type);
    n.dropEveryNth = 2;
    return n;
  };
  editor.nodes = {node(1, NodeType::PC), node(2, NodeType::NthDrop), node(3, NodeType::Router)};
  editor.connections = {{1, 1, 2, WireDirection::Outbound}, {2, 2, 3, WireDirection::Outbound}};
  const ActiveEffects effects = editor.resolveEffects();
  ASSERT_EQ(effects.outbound.dropPercent, 0.0);
  const std::array<bool, kActivityModules> dropOnly{false, true, false, false, false};
  EXPECT_EQ(armedModules(true, effects), dropOnly);
}

}  // namespace
}  // namespace rivulo
