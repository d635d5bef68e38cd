#include "engine/divert_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/fake_packet_driver.h"

namespace rivulo {
namespace {

using namespace std::chrono_literals;
using test::FakeNetwork;
using test::SentPacket;

class DivertEngineTest : public ::testing::Test {
 protected:
  std::shared_ptr<FakeNetwork> net = FakeNetwork::create();
  DivertEngine engine{net->factory()};

  void startPipeline(const ActiveEffects& effects = {}) {
    engine.applyEffects(effects);
    ASSERT_TRUE(engine.startPipeline("true")) << engine.stats().lastError;
  }
  void feedAndSettle(uint32_t firstId, int count, bool outbound) {
    for (int i = 0; i < count; ++i) net->feed(firstId + static_cast<uint32_t>(i), outbound);
    ASSERT_TRUE(net->waitIdle());
  }
};

TEST_F(DivertEngineTest, DefaultPairSendsEveryPacketStraightBack) {
  engine.applyEffects({});
  ASSERT_TRUE(engine.startPipeline(""));
  feedAndSettle(1, 3, false);
  feedAndSettle(10, 2, true);

  DivertStats s = engine.stats();
  EXPECT_TRUE(s.running);
  EXPECT_TRUE(s.handleOpen);
  EXPECT_EQ(s.mode, 2);
  EXPECT_EQ(s.filter, "true");
  EXPECT_EQ(s.capturedIn, 3u);
  EXPECT_EQ(s.capturedOut, 2u);
  EXPECT_EQ(s.capturedInBytes, 300u);
  EXPECT_EQ(s.capturedOutBytes, 200u);
  EXPECT_EQ(s.reinjected, 5u);
  EXPECT_EQ(s.delayed, 0u);
  EXPECT_EQ(s.heldQueue, 0u);
  EXPECT_TRUE(net->held().empty());
  EXPECT_TRUE(engine.isPipelineActive());

  std::vector<SentPacket> sent = net->sent();
  ASSERT_EQ(sent.size(), 5u);
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].data.size(), 100u);
    EXPECT_EQ(sent[i].address.packetId, FakeNetwork::idOf(sent[i].data));
    EXPECT_FALSE(sent[i].address.copy);
  }
  EXPECT_TRUE(sent[3].address.outbound);

  std::vector<test::OpenCall> opens = net->opens();
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].filter, "true");
  EXPECT_EQ(opens[0].mode, DriverMode::EffectPipeline);
  EXPECT_EQ(opens[0].params.queueLength, 8192u);
  EXPECT_EQ(opens[0].params.queueTimeMs, 2048u);

  engine.stop();
  EXPECT_EQ(net->shutdowns(), std::vector<ShutdownHow>{ShutdownHow::Receive});
  EXPECT_EQ(net->closes(), 1);
  s = engine.stats();
  EXPECT_FALSE(s.running);
  EXPECT_FALSE(s.handleOpen);
  EXPECT_EQ(s.mode, 0);
  EXPECT_EQ(s.reinjected, 5u);  // counters survive a stop
  EXPECT_FALSE(engine.isPipelineActive());
}

TEST_F(DivertEngineTest, BlockDiscardsOnlyItsDirection) {
  ActiveEffects effects;
  effects.inbound.block = true;
  startPipeline(effects);
  feedAndSettle(1, 4, false);
  feedAndSettle(10, 2, true);

  DivertStats s = engine.stats();
  EXPECT_EQ(s.capturedIn, 4u);
  EXPECT_EQ(s.blockedActivity, 4u);
  EXPECT_EQ(s.dropped, 4u);
  EXPECT_EQ(s.dropActivity, 0u);
  EXPECT_EQ(s.reinjected, 2u);
  ASSERT_EQ(net->discarded().size(), 4u);
  for (const SentPacket& p : net->sent()) EXPECT_TRUE(p.address.outbound);
}

TEST_F(DivertEngineTest, RandomDropComesBeforeNthDrop) {
  ActiveEffects effects;
  effects.outbound.dropPercent = 100.0;
  effects.outbound.everyN = 2;
  startPipeline(effects);
  feedAndSettle(1, 5, true);
  DivertStats s = engine.stats();
  EXPECT_EQ(s.dropActivity, 5u);
  EXPECT_EQ(s.dropped, 5u);
  EXPECT_EQ(net->discarded().size(), 5u);

  // The nth counter never advanced: of the next two packets the second one
  // is the first to be nth-dropped.
  effects.outbound.dropPercent = 0.0;
  engine.applyEffects(effects);
  feedAndSettle(20, 2, true);
  std::vector<SentPacket> sent = net->sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].address.packetId, 20u);
  EXPECT_EQ(engine.stats().dropActivity, 6u);
}

TEST_F(DivertEngineTest, AppliedEffectsResetOnlyWhatTheirChangeDrives) {
  ActiveEffects effects;
  effects.inbound.everyN = 3;
  startPipeline(effects);
  feedAndSettle(1, 2, false);  // counter at 2

  // Another field, even in the other half, keeps the count.
  effects.outbound.dropPercent = 10.0;
  effects.inbound.duplicatePercent = 0.0;
  engine.applyEffects(effects);
  feedAndSettle(3, 1, false);
  EXPECT_EQ(engine.stats().dropped, 1u);

  feedAndSettle(4, 1, false);  // counter at 4
  // everyN of the outbound half restarts both counters.
  effects.outbound.everyN = 5;
  engine.applyEffects(effects);
  feedAndSettle(5, 2, false);
  EXPECT_EQ(engine.stats().dropped, 1u);
  feedAndSettle(7, 1, false);
  EXPECT_EQ(engine.stats().dropped, 2u);
  EXPECT_EQ(engine.currentEffects(), effects);
}

TEST_F(DivertEngineTest, DelaysAddUpAndHeldPacketsLeaveInArrivalOrder) {
  ActiveEffects effects;
  effects.outbound.latencyMs = 40;
  effects.outbound.holdMs = 30;
  startPipeline(effects);
  auto fedAt = std::chrono::steady_clock::now();
  feedAndSettle(1, 20, true);

  DivertStats s = engine.stats();
  EXPECT_EQ(s.delayed, 20u);
  EXPECT_EQ(s.latencyActivity, 20u);
  EXPECT_EQ(net->held().size(), 20u);
  ASSERT_TRUE(net->waitForSends(20));
  std::vector<SentPacket> sent = net->sent();
  ASSERT_EQ(sent.size(), 20u);
  for (uint32_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].address.packetId, i + 1);  // arrival order
    EXPECT_GE(sent[i].at - fedAt, 70ms);
    // Sent with the address that hold() handed back.
    EXPECT_EQ(sent[i].address.driverData, FakeNetwork::kHeldTag);
  }
  EXPECT_EQ(engine.stats().heldQueue, 0u);
}

TEST(PendingPacketOrder, EarliestFirstThenQueueingOrder) {
  SteadyTime t0 = std::chrono::steady_clock::now();
  PendingPacketOrder ranksBelow;
  PendingPacket early{t0, 5, {}, {}};
  PendingPacket late{t0 + 1ms, 1, {}, {}};
  PendingPacket tieFirst{t0, 2, {}, {}};
  EXPECT_TRUE(ranksBelow(late, early));
  EXPECT_FALSE(ranksBelow(early, late));
  EXPECT_TRUE(ranksBelow(early, tieFirst));
  EXPECT_FALSE(ranksBelow(tieFirst, early));
}

TEST_F(DivertEngineTest, DuplicatesWithoutDelayAreSentTwiceAtOnce) {
  ActiveEffects effects;
  effects.inbound.duplicatePercent = 100.0;
  startPipeline(effects);
  feedAndSettle(1, 3, false);
  DivertStats s = engine.stats();
  EXPECT_EQ(s.duplicated, 3u);
  EXPECT_EQ(s.reinjected, 6u);
  EXPECT_EQ(s.delayed, 0u);
  std::vector<SentPacket> sent = net->sent();
  ASSERT_EQ(sent.size(), 6u);
  for (size_t i = 0; i < 6; i += 2) {
    EXPECT_EQ(sent[i].address.packetId, sent[i + 1].address.packetId);
    EXPECT_FALSE(sent[i].address.copy);
    EXPECT_TRUE(sent[i + 1].address.copy);
  }
}

TEST_F(DivertEngineTest, DelayedDuplicateIsQueuedFirstWithTheSameReleaseTime) {
  ActiveEffects effects;
  effects.inbound.duplicatePercent = 100.0;
  effects.inbound.latencyMs = 30;
  startPipeline(effects);
  feedAndSettle(1, 1, false);
  DivertStats s = engine.stats();
  EXPECT_EQ(s.delayed, 1u);
  EXPECT_EQ(s.duplicated, 1u);
  EXPECT_EQ(s.heldQueue, 2u);
  EXPECT_EQ(net->held().size(), 1u);

  ASSERT_TRUE(net->waitForSends(2));
  std::vector<SentPacket> sent = net->sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_TRUE(sent[0].address.copy);
  EXPECT_FALSE(sent[1].address.copy);
  EXPECT_EQ(sent[0].data, sent[1].data);
  EXPECT_EQ(sent[1].address.driverData, FakeNetwork::kHeldTag);
  engine.stop();  // the counter follows the driver's send; joining settles it
  EXPECT_EQ(engine.stats().reinjected, 2u);
}

TEST_F(DivertEngineTest, StopSendsEveryHeldPacketEarliestFirstBeforeReturning) {
  ActiveEffects effects;
  effects.inbound.latencyMs = 20000;
  startPipeline(effects);
  feedAndSettle(1, 3, false);
  effects.inbound.latencyMs = 10000;
  engine.applyEffects(effects);
  feedAndSettle(4, 2, false);
  EXPECT_EQ(engine.stats().heldQueue, 5u);
  EXPECT_TRUE(net->sent().empty());

  auto before = std::chrono::steady_clock::now();
  engine.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
  std::vector<SentPacket> sent = net->sent();
  ASSERT_EQ(sent.size(), 5u);
  std::vector<uint32_t> order;
  for (const SentPacket& p : sent) order.push_back(p.address.packetId);
  EXPECT_EQ(order, (std::vector<uint32_t>{4, 5, 1, 2, 3}));
  DivertStats s = engine.stats();
  EXPECT_EQ(s.reinjected, 5u);
  EXPECT_EQ(s.heldQueue, 0u);
  EXPECT_TRUE(s.lastError.empty());
}

TEST_F(DivertEngineTest, PassiveMonitorOnlyCounts) {
  ActiveEffects effects;
  effects.inbound.block = true;
  effects.outbound.latencyMs = 100;
  engine.applyEffects(effects);
  ASSERT_TRUE(engine.startMonitor("tcp"));
  EXPECT_FALSE(engine.isPipelineActive());
  EXPECT_EQ(engine.currentMode(), EngineMode::PassiveMonitor);
  feedAndSettle(1, 2, false);
  feedAndSettle(5, 3, true);
  DivertStats s = engine.stats();
  EXPECT_EQ(s.mode, 1);
  EXPECT_EQ(s.filter, "tcp");
  EXPECT_EQ(s.capturedIn, 2u);
  EXPECT_EQ(s.capturedOut, 3u);
  EXPECT_EQ(s.capturedOutBytes, 300u);
  EXPECT_EQ(s.dropped + s.delayed + s.reinjected + s.duplicated + s.blockedActivity + s.latencyActivity, 0u);
  EXPECT_TRUE(net->sent().empty());
  EXPECT_TRUE(net->discarded().empty());
  EXPECT_EQ(net->opens()[0].mode, DriverMode::PassiveMonitor);
  engine.stop();
  EXPECT_EQ(net->shutdowns(), std::vector<ShutdownHow>{ShutdownHow::Both});
}

TEST_F(DivertEngineTest, FailedStartLeavesTheEngineStoppedWithItsReason) {
  // Counters of an earlier run are reset by the failing start all the same.
  startPipeline();
  feedAndSettle(1, 2, true);
  engine.stop();
  ASSERT_EQ(engine.stats().capturedOut, 2u);

  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"filter", [&] { net->rejectFilter("tcp and", "position 8: expected a field or a value"); },
       "Packet filter rejected: position 8: expected a field or a value"},
      {"rights", [&] { net->failOpen({DriverErrorKind::AccessDenied, 1, {}}); },
       "Access denied. Run Rivulo as root or give it CAP_NET_ADMIN."},
      {"missing", [&] { net->failOpen({DriverErrorKind::NotFound, 2, {}}); },
       "NFQUEUE support or iptables was not found on this system."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.arrange();
    EXPECT_FALSE(engine.startPipeline("tcp and"));
    DivertStats s = engine.stats();
    EXPECT_FALSE(s.running);
    EXPECT_FALSE(s.handleOpen);
    EXPECT_EQ(s.mode, 0);
    EXPECT_EQ(s.lastError, c.error);
    EXPECT_EQ(s.capturedOut, 0u);
    EXPECT_EQ(s.filter, "true");  // the filter of the last successful start
  }
  // A successful start clears the error.
  net->failOpen({});
  ASSERT_TRUE(engine.startPipeline("udp"));
  EXPECT_EQ(engine.stats().lastError, "");
}

TEST(DivertEngine, WithoutADriverStartSaysWhy) {
  DivertEngine engine;
  EXPECT_FALSE(engine.startPipeline("true"));
  EXPECT_EQ(engine.stats().lastError, "NFQUEUE support or iptables was not found on this system.");
  EXPECT_FALSE(engine.isRunning());
  DivertEngine nullFactory([] { return std::unique_ptr<PacketDriver>(); });
  EXPECT_FALSE(nullFactory.startMonitor("true"));
  EXPECT_FALSE(nullFactory.stats().lastError.empty());
}

TEST_F(DivertEngineTest, ReceiveErrorEndsCaptureAndFlushesHeldPackets) {
  struct Case {
    DriverError error;
    std::string lastError;
  };
  const std::vector<Case> cases = {
      {{DriverErrorKind::Other, 5, {}}, "NFQUEUE error 5 (Input/output error)"},
      {{DriverErrorKind::Aborted, 0, {}}, ""},
      {{DriverErrorKind::NoData, 0, {}}, ""},
  };
  uint32_t id = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lastError);
    ActiveEffects effects;
    effects.outbound.latencyMs = 20000;
    startPipeline(effects);
    size_t sentBefore = net->sent().size();
    net->feed(id++, true);
    net->feed(id++, true);
    net->feedError(c.error);
    // Both held packets leave at once, long before their 20 s.
    ASSERT_TRUE(net->waitForSends(sentBefore + 2, 2s));
    DivertStats s = engine.stats();
    EXPECT_EQ(s.lastError, c.lastError);
    // The engine reports the pipeline until it is stopped.
    EXPECT_TRUE(s.running);
    EXPECT_TRUE(engine.isPipelineActive());
    engine.stop();
    EXPECT_FALSE(engine.stats().running);
  }
}

TEST_F(DivertEngineTest, SendFailureIsReportedUnlessStopping) {
  ActiveEffects effects;
  effects.inbound.latencyMs = 20000;
  startPipeline(effects);
  feedAndSettle(1, 2, false);
  net->failSends({DriverErrorKind::Other, 1, {}});
  engine.stop();  // the flush fails silently
  DivertStats s = engine.stats();
  EXPECT_EQ(s.lastError, "");
  EXPECT_EQ(s.reinjected, 0u);
  EXPECT_EQ(s.delayed, 2u);

  startPipeline();
  feedAndSettle(3, 1, true);
  s = engine.stats();
  EXPECT_EQ(s.lastError, "NFQUEUE error 1 (Operation not permitted)");
  EXPECT_EQ(s.reinjected, 0u);
  EXPECT_EQ(s.capturedOut, 1u);
  EXPECT_TRUE(s.running);  // a failed send does not end capture
}

TEST_F(DivertEngineTest, StartReplacesARunningCaptureAndStopIsRepeatable) {
  // Quick start/stop cycles with an empty queue: the release loop must never
  // miss the wake-up of a stop.
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(engine.startMonitor("true"));
    ASSERT_TRUE(engine.startPipeline("true"));
    engine.stop();
    engine.stop();
  }
  EXPECT_EQ(net->closes(), 400);
  EXPECT_FALSE(engine.isRunning());
}

TEST_F(DivertEngineTest, QueueFullComesFromTheDriver) {
  startPipeline();
  EXPECT_FALSE(engine.stats().queueFull);
  net->setQueueFull(true);
  EXPECT_TRUE(engine.stats().queueFull);
  engine.stop();
  EXPECT_FALSE(engine.stats().queueFull);
}

TEST(DivertEngine, ErrorTextsOfNumericCodes) {
  EXPECT_EQ(DivertEngine::errorText(2u), DivertEngine::errorText(3u));
  EXPECT_EQ(DivertEngine::errorText(87u), "NFQUEUE rejected the packet filter.");
  EXPECT_EQ(DivertEngine::errorText(1275u), "NFQUEUE error 1275");
}

}  // namespace
}  // namespace rivulo
