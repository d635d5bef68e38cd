#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "app/editor.h"
#include "tests/support/fake_packet_driver.h"
#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

const char* const kStarted = "ACTIVE simulation started. Timer reset to 00:00:00.";
const char* const kStopped = "Simulation stopped. Timer paused and held packets were flushed.";

std::string shown(const Editor& editor) {
  char buffer[32] = {};
  formatSimulationTime(editor.shownSimulationTime(), buffer, sizeof(buffer));
  return buffer;
}

EditorServices withDriver(const std::shared_ptr<test::FakeNetwork>& net) {
  EditorServices services;
  if (net) services.packetDrivers = net->factory();
  services.openAutoload = false;
  return services;
}

class SimulationTest : public ::testing::Test {
 protected:
  std::shared_ptr<test::FakeNetwork> net = test::FakeNetwork::create();
  test::UiHarness ui{ImVec2(1600, 900), withDriver(net)};
  Editor& editor = ui.editor();
};

TEST_F(SimulationTest, StartOpensThePipelineWithTheChosenFilter) {
  editor.filterMode = 2;
  ui.frame();
  EXPECT_TRUE(editor.startSimulation());
  EXPECT_TRUE(editor.simulationActive);
  EXPECT_TRUE(editor.engine.isPipelineActive());
  ASSERT_EQ(net->opens().size(), 1u);
  EXPECT_EQ(net->opens()[0].filter, "tcp");
  EXPECT_EQ(ui.logCount(kStarted), 1);

  // A second start while LIVE changes nothing and says nothing.
  double startedAt = editor.simulationStartTime;
  ui.frame(3, 0.5f);
  size_t lines = editor.eventLog.size();
  EXPECT_TRUE(editor.startSimulation());
  EXPECT_EQ(editor.simulationStartTime, startedAt);
  EXPECT_EQ(editor.eventLog.size(), lines);
  EXPECT_EQ(net->opens().size(), 1u);
}

TEST_F(SimulationTest, TimerCountsWhileLiveAndPausesOnStop) {
  ui.frame();
  editor.toggleSimulation();
  ASSERT_TRUE(editor.simulationActive);
  EXPECT_EQ(shown(editor), "00:00:00");
  ui.frame(2, 37.7f);  // 75.4 s
  EXPECT_EQ(shown(editor), "00:01:15");

  editor.toggleSimulation();
  EXPECT_FALSE(editor.simulationActive);
  EXPECT_FALSE(editor.engine.isRunning());
  EXPECT_EQ(ui.lastLog(), kStopped);
  ui.frame(3, 10.0f);
  EXPECT_EQ(shown(editor), "00:01:15");

  ASSERT_TRUE(editor.startSimulation());
  EXPECT_EQ(shown(editor), "00:00:00");
  EXPECT_EQ(editor.simulationElapsed, 0.0);
}

TEST_F(SimulationTest, StopRestoresTheDefaultPingTimeoutAndAlwaysLogs) {
  ui.frame();
  ASSERT_TRUE(editor.startSimulation());
  editor.pingTimeoutMs = 30000;
  editor.stopSimulation();
  EXPECT_EQ(editor.pingTimeoutMs.load(), 1500u);

  // Stopping while IDLE keeps the paused time and still logs its line.
  editor.simulationElapsed = 12.0;
  editor.stopSimulation();
  EXPECT_EQ(editor.simulationElapsed, 12.0);
  EXPECT_EQ(ui.logCount(kStopped), 2);
}

TEST_F(SimulationTest, EveryFrameWhileLiveHandsTheResolvedPairToTheEngine) {
  ActiveEffects stale;
  stale.inbound.latencyMs = 777;
  editor.engine.applyEffects(stale);
  ui.frame(2);
  EXPECT_EQ(editor.engine.currentEffects(), stale);  // IDLE: the engine is left alone

  ASSERT_TRUE(editor.startSimulation());
  editor.engine.applyEffects(stale);
  ui.frame();
  EXPECT_EQ(editor.engine.currentEffects(), editor.resolveEffects());
  EXPECT_EQ(net->opens().size(), 1u);  // no restart of the driver
}

Node makeNode(int32_t id, NodeType type) {
  Node n;
  n.id = id;
  n.type = static_cast<int32_t>(type);
  return n;
}

// Edits of a live design reach the engine on the next frame without a new
// driver start, and only the module whose driving setting changed starts
// over: the Nth Drop count shows whether its state survived.
TEST_F(SimulationTest, LiveEditsReachTheEngineNextFrameAndResetOnlyTheirModule) {
  editor.nodes = {makeNode(1, NodeType::PC), makeNode(2, NodeType::Latency), makeNode(3, NodeType::NthDrop),
                  makeNode(4, NodeType::Throttle), makeNode(5, NodeType::Server)};
  editor.nodes[1].delayMs = 120;
  editor.nodes[2].dropEveryNth = 3;
  editor.nodes[3].limitKBps = 100000;
  for (int32_t id = 1; id < 5; ++id) editor.connections.push_back({id, id, id + 1, WireDirection::Outbound});
  ui.frame();
  ASSERT_TRUE(editor.startSimulation());
  EffectConfig out = editor.engine.currentEffects().outbound;
  ASSERT_EQ(out.latencyMs, 120u);
  ASSERT_EQ(out.everyN, 3u);
  uint32_t id = 1;
  auto feed = [&](int count) {
    for (int i = 0; i < count; ++i) net->feed(id++, true);
    ASSERT_TRUE(net->waitIdle());
  };
  feed(2);

  editor.nodes[1].delayMs = 150;
  ui.frame();
  EXPECT_EQ(editor.engine.currentEffects().outbound.latencyMs, 150u);
  feed(1);  // third packet since start
  EXPECT_EQ(editor.engine.stats().dropped, 1u);

  editor.nodes[3].limitKBps = 50000;
  ui.frame();
  EXPECT_EQ(editor.engine.currentEffects().outbound.throttleBytesPerSecond, 50000u * 1024u);
  feed(3);  // sixth
  EXPECT_EQ(editor.engine.stats().dropped, 2u);

  editor.nodes[2].dropEveryNth = 4;
  ui.frame();
  feed(3);  // the count starts over: none of these is the fourth
  EXPECT_EQ(editor.engine.stats().dropped, 2u);
  feed(1);
  EXPECT_EQ(editor.engine.stats().dropped, 3u);
  EXPECT_EQ(net->opens().size(), 1u);
}

TEST_F(SimulationTest, HeldPacketsAreSentWhenTheSimulationStops) {
  ui.frame();
  ASSERT_TRUE(editor.startSimulation());
  ActiveEffects effects;
  effects.outbound.latencyMs = 20000;
  editor.engine.applyEffects(effects);  // as a resolved chain would
  net->feed(1, true);
  ASSERT_TRUE(net->waitIdle());
  editor.stopSimulation();
  EXPECT_EQ(net->sent().size(), 1u);
}

TEST(Simulation, FailedStartLogsTheReasonAndStaysIdle) {
  struct Case {
    const char* name;
    std::shared_ptr<test::FakeNetwork> net;
    std::string reason;
  };
  auto rejecting = test::FakeNetwork::create();
  rejecting->rejectFilter("tcp and", "position 8: expected a field or a value");
  const Case cases[] = {
      {"no driver", nullptr, "NFQUEUE support or iptables was not found on this system."},
      {"bad filter", rejecting, "Packet filter rejected: position 8: expected a field or a value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::UiHarness ui(ImVec2(1600, 900), withDriver(c.net));
    Editor& editor = ui.editor();
    editor.filterMode = 6;
    std::strcpy(editor.customFilter, "tcp and");
    editor.simulationElapsed = 42.0;
    editor.pingTimeoutMs = 4000;
    ui.frame();
    EXPECT_FALSE(editor.startSimulation());
    EXPECT_EQ(ui.lastLog(), "Could not start active simulation: " + c.reason);
    EXPECT_FALSE(editor.simulationActive);
    EXPECT_EQ(editor.simulationElapsed, 42.0);
    EXPECT_EQ(editor.pingTimeoutMs.load(), 4000u);
    EXPECT_EQ(ui.logCount(kStarted), 0);
  }
}

TEST(SimulationTime, Format) {
  struct Case {
    double seconds;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "00:00:00"},        {75.4, "00:01:15"},   {3599.999, "00:59:59"},
      {86400.0, "24:00:00"},    {360000.0, "100:00:00"}, {-3.5, "00:00:00"},
      {-1e300, "00:00:00"},
  };
  for (const Case& c : cases) {
    char buffer[32] = {};
    formatSimulationTime(c.seconds, buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, c.text) << c.seconds;
  }
  // Truncated to the buffer; nothing written without one.
  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  formatSimulationTime(75.4, small, sizeof(small));
  EXPECT_STREQ(small, "00:0");
  formatSimulationTime(75.4, small, 0);
  EXPECT_STREQ(small, "00:0");
  formatSimulationTime(75.4, nullptr, 32);
  // Absurd clocks do not crash the top bar.
  char big[32] = {};
  formatSimulationTime(1e300, big, sizeof(big));
  EXPECT_GT(std::strlen(big), 8u);
  formatSimulationTime(std::numeric_limits<double>::infinity(), big, sizeof(big));
  EXPECT_GT(std::strlen(big), 8u);
}

}  // namespace
}  // namespace rivulo
