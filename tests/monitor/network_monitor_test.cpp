#include "monitor/network_monitor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "app/editor.h"
#include "tests/support/fake_packet_driver.h"
#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

using namespace std::chrono_literals;

void publish(Editor& editor, const MonitorSample& sample) {
  std::lock_guard<std::mutex> lock(editor.monitorMutex);
  editor.sharedSample = sample;
}

MonitorSample counters(uint64_t sequence, uint64_t in, uint64_t out, bool interfaceOk = true) {
  MonitorSample sample;
  sample.sequence = sequence;
  sample.inPackets = in;
  sample.outPackets = out;
  sample.interfaceOk = interfaceOk;
  return sample;
}

TEST(PollSample, TotalsAndRatesFromSuccessiveSamples) {
  struct Step {
    MonitorSample sample;
    uint64_t totalIn, totalOut;
    float rateIn, rateOut;
    size_t pingEntries, rateEntries;
  };
  MonitorSample online = counters(1, 1000, 500);
  online.online = true;
  online.pingMs = 12.0f;
  online.address = "10.0.0.2";
  const Step steps[] = {
      {MonitorSample{}, 0, 0, 0, 0, 0, 0},      // nothing published yet
      {online, 0, 0, 0, 0, 1, 1},               // the first readable sample is the baseline
      {online, 0, 0, 0, 0, 1, 1},               // the same sequence again is not taken twice
      {counters(2, 1100, 530), 100, 30, 100, 30, 2, 2},
      {counters(3, 5000, 5000, false), 100, 30, 100, 30, 3, 2},  // unreadable table: counters untouched
      {counters(4, 900, 600), 0, 100, 0, 70, 4, 3},              // in went backwards: 0, not a wrap
      {counters(5, 950, 610), 0, 110, 50, 10, 5, 4},
  };
  Editor editor;
  int index = 0;
  for (const Step& step : steps) {
    publish(editor, step.sample);
    editor.pollSample();
    SCOPED_TRACE(index++);
    EXPECT_EQ(editor.totalIn, step.totalIn);
    EXPECT_EQ(editor.totalOut, step.totalOut);
    EXPECT_EQ(editor.rateIn, step.rateIn);
    EXPECT_EQ(editor.rateOut, step.rateOut);
    EXPECT_EQ(editor.pingHistory.size(), step.pingEntries);
    EXPECT_EQ(editor.inRateHistory.size(), step.rateEntries);
    EXPECT_EQ(editor.outTotalHistory.size(), step.rateEntries);
  }
  EXPECT_EQ(editor.pingHistory, (std::vector<float>{12, -1, -1, -1, -1}));
  EXPECT_EQ(editor.inTotalHistory, (std::vector<float>{0, 100, 0, 0}));
  EXPECT_FALSE(editor.pingOnline);
  EXPECT_EQ(editor.pingMs, -1.0f);
}

TEST(PollSample, HistoriesKeepTheNewestNinety) {
  Editor editor;
  for (uint64_t i = 1; i <= 100; ++i) {
    MonitorSample sample = counters(i, i * 10, i * 20);
    sample.online = true;
    sample.pingMs = static_cast<float>(i);
    publish(editor, sample);
    editor.pollSample();
  }
  for (const std::vector<float>* history : {&editor.pingHistory, &editor.inRateHistory, &editor.outRateHistory,
                                            &editor.inTotalHistory, &editor.outTotalHistory}) {
    EXPECT_EQ(history->size(), 90u);
  }
  EXPECT_EQ(editor.pingHistory.front(), 11.0f);
  EXPECT_EQ(editor.pingHistory.back(), 100.0f);
  EXPECT_EQ(editor.inTotalHistory.front(), 100.0f);  // sample 11: 110 - 10
  EXPECT_EQ(editor.outTotalHistory.back(), 1980.0f);
}

TEST(PollSample, ResetStartsANewBaseline) {
  Editor editor;
  publish(editor, counters(1, 100, 100));
  editor.pollSample();
  publish(editor, counters(2, 160, 190));
  editor.pollSample();
  ASSERT_EQ(editor.totalOut, 90u);

  editor.resetStatistics();
  EXPECT_EQ(editor.eventLog.back().text, "Network statistics reset.");
  EXPECT_TRUE(editor.inRateHistory.empty());
  EXPECT_TRUE(editor.pingHistory.empty());

  publish(editor, counters(3, 200, 300));
  editor.pollSample();
  EXPECT_EQ(editor.totalIn, 0u);
  EXPECT_EQ(editor.rateOut, 0.0f);
  publish(editor, counters(4, 230, 305));
  editor.pollSample();
  EXPECT_EQ(editor.totalIn, 30u);
  EXPECT_EQ(editor.rateOut, 5.0f);
}

TEST(ApplyTarget, TrimsOrRefuses) {
  struct Case {
    const char* typed;
    const char* target;  // pingTarget afterwards
    const char* logLine;
    bool pingHistoryCleared;
  };
  const Case cases[] = {
      {" 1.1.1.1\t", "1.1.1.1", "Ping target changed to 1.1.1.1.", true},
      {"\r\n host.example \n", "host.example", "Ping target changed to host.example.", true},
      {" \t\r\n", "8.8.8.8", "Ping target cannot be empty.", false},
      {"", "8.8.8.8", "Ping target cannot be empty.", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Editor editor;
    editor.pingHistory = {5, 6};
    editor.inRateHistory = {1};
    editor.statusMessage = "old";
    std::snprintf(editor.targetInput, sizeof(editor.targetInput), "%s", c.typed);
    editor.applyTarget();
    EXPECT_EQ(editor.pingTarget, c.target);
    EXPECT_EQ(editor.eventLog.back().text, c.logLine);
    EXPECT_EQ(editor.pingHistory.empty(), c.pingHistoryCleared);
    EXPECT_EQ(editor.inRateHistory.size(), 1u);
    if (c.pingHistoryCleared) {
      EXPECT_STREQ(editor.targetInput, c.target);
      EXPECT_EQ(editor.statusMessage, "Waiting for reply...");
    } else {
      EXPECT_EQ(editor.statusMessage, "old");
    }
  }
}

TEST(MonitorTick, FallsBackToNowOnlyWhenMoreThanTwoSecondsLate) {
  const auto next = std::chrono::steady_clock::time_point(100s);
  EXPECT_EQ(catchUpTick(next, next - 300ms), next);
  EXPECT_EQ(catchUpTick(next, next + 1500ms), next);  // one back-to-back tick catches up
  EXPECT_EQ(catchUpTick(next, next + 2s), next);
  EXPECT_EQ(catchUpTick(next, next + 2001ms), next + 2001ms);
}

// A probe whose answers the test scripts; it records what the worker asked.
struct FakeNetwork {
  std::mutex mutex;
  std::map<std::string, int> resolveCalls;
  std::vector<uint32_t> timeouts;
  bool icmp = true;
  bool pingBlocks = false;  // a ping that waits for its whole timeout or the stop flag
};

class FakeProbe final : public MonitorProbe {
 public:
  explicit FakeProbe(std::shared_ptr<FakeNetwork> network) : network_(std::move(network)) {}
  ResolveResult resolve(const std::string& target) override {
    std::lock_guard<std::mutex> lock(network_->mutex);
    ++network_->resolveCalls[target];
    if (target.find(".invalid") != std::string::npos) return {};
    return {true, 0x0200000A, "10.0.0.2"};
  }
  bool icmpAvailable() override { return network_->icmp; }
  PingResult ping(uint32_t, uint32_t timeoutMs, const std::atomic<bool>& stop) override {
    bool blocks;
    {
      std::lock_guard<std::mutex> lock(network_->mutex);
      network_->timeouts.push_back(timeoutMs);
      blocks = network_->pingBlocks;
    }
    if (blocks) {
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
      while (!stop.load() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(5ms);
      return {false, -1.0f, "Request timed out"};
    }
    return {true, 3.0f, ""};
  }
  InterfaceCounters readCounters() override { return {true, 10, 20}; }

 private:
  std::shared_ptr<FakeNetwork> network_;
};

EditorServices fakeServices(const std::shared_ptr<FakeNetwork>& network) {
  EditorServices services;
  services.monitorProbes = [network] { return std::make_unique<FakeProbe>(network); };
  return services;
}

// Polls until a sample newer than `after` has arrived (the worker ticks once a second).
MonitorSample nextSample(Editor& editor, uint64_t after) {
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < end) {
    {
      std::lock_guard<std::mutex> lock(editor.monitorMutex);
      if (editor.sharedSample.sequence > after) return editor.sharedSample;
    }
    std::this_thread::sleep_for(10ms);
  }
  ADD_FAILURE() << "no sample after " << after;
  return {};
}

TEST(MonitorWorker, ResolvesEachTargetTextOnceAndKeepsAFailure) {
  auto network = std::make_shared<FakeNetwork>();
  Editor editor(fakeServices(network));
  MonitorSample sample = nextSample(editor, 0);
  EXPECT_TRUE(sample.online);
  EXPECT_EQ(sample.address, "10.0.0.2");
  EXPECT_EQ(sample.inPackets, 10u);

  std::snprintf(editor.targetInput, sizeof(editor.targetInput), "nowhere.invalid");
  editor.applyTarget();
  editor.pingTimeoutMs = 6500;
  sample = nextSample(editor, sample.sequence);
  sample = nextSample(editor, sample.sequence);  // surely taken after the change
  const uint64_t failedAt = sample.sequence;
  sample = nextSample(editor, sample.sequence);
  EXPECT_FALSE(sample.online);
  EXPECT_EQ(sample.message, "Could not resolve target");
  EXPECT_TRUE(sample.address.empty());
  EXPECT_TRUE(sample.interfaceOk);  // counters are read whatever the ping did
  EXPECT_GT(sample.sequence, failedAt);

  std::snprintf(editor.targetInput, sizeof(editor.targetInput), "8.8.8.8");
  editor.applyTarget();
  sample = nextSample(editor, nextSample(editor, sample.sequence).sequence);
  EXPECT_TRUE(sample.online);

  std::lock_guard<std::mutex> lock(network->mutex);
  EXPECT_EQ(network->resolveCalls["nowhere.invalid"], 1);
  EXPECT_EQ(network->resolveCalls["8.8.8.8"], 2);  // once before, once after the other text
  EXPECT_EQ(network->timeouts.front(), 1500u);
  EXPECT_EQ(network->timeouts.back(), 6500u);  // read afresh before every ping
}

TEST(MonitorWorker, ReportsMissingIcmp) {
  auto network = std::make_shared<FakeNetwork>();
  network->icmp = false;
  Editor editor(fakeServices(network));
  const MonitorSample sample = nextSample(editor, 0);
  EXPECT_FALSE(sample.online);
  EXPECT_EQ(sample.message, "ICMP is unavailable");
  EXPECT_TRUE(sample.address.empty());
}

TEST(MonitorWorker, ClosingDuringALongPingIsPrompt) {
  auto network = std::make_shared<FakeNetwork>();
  network->pingBlocks = true;
  auto editor = std::make_unique<Editor>(fakeServices(network));
  // Restarted so that the very first ping is the long one.
  editor->stopMonitorThread();
  editor->pingTimeoutMs = 30000;
  editor->startMonitorThread();
  std::this_thread::sleep_for(300ms);
  const auto before = std::chrono::steady_clock::now();
  editor.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 500ms);
  std::lock_guard<std::mutex> lock(network->mutex);
  EXPECT_EQ(network->timeouts.back(), 30000u);
}

TEST(NetworkPanel, TargetButtonsAndDriverStart) {
  test::UiHarness ui(ImVec2(1600, 900));
  ui.editor().requestedTab = 1;
  ui.frame(3);
  std::snprintf(ui.editor().targetInput, sizeof(ui.editor().targetInput), "   ");
  ui.click(ui.itemCenter("APPLY"));
  EXPECT_EQ(ui.lastLog(), "Ping target cannot be empty.");
  ui.click(ui.itemCenter("1.1.1.1"));
  EXPECT_EQ(ui.lastLog(), "Ping target changed to 1.1.1.1.");
  EXPECT_STREQ(ui.editor().targetInput, "1.1.1.1");
  // Without a packet driver the passive monitor cannot start; the reason is logged.
  ui.click(ui.itemCenter("START MONITOR"));
  EXPECT_EQ(ui.lastLog().rfind("Passive monitor failed: ", 0), 0u) << ui.lastLog();
  EXPECT_GT(ui.lastLog().size(), std::strlen("Passive monitor failed: "));
  EXPECT_FALSE(ui.editor().engine.isRunning());
}

TEST(NetworkPanel, PassiveMonitorStartsAndStops) {
  auto packets = test::FakeNetwork::create();
  EditorServices services;
  services.packetDrivers = packets->factory();
  test::UiHarness ui(ImVec2(1600, 900), std::move(services));
  ui.editor().requestedTab = 1;
  ui.frame(3);
  ui.click(ui.itemCenter("START MONITOR"));
  EXPECT_EQ(ui.lastLog(), "Passive monitor started with filter: true");
  EXPECT_EQ(ui.editor().engine.currentMode(), EngineMode::PassiveMonitor);
  ASSERT_EQ(packets->opens().size(), 1u);
  EXPECT_EQ(packets->opens()[0].mode, DriverMode::PassiveMonitor);

  ui.editor().pingTimeoutMs = 9000;
  ui.frame();  // the button now reads STOP DRIVER
  ui.click(ui.itemCenter("STOP DRIVER"));
  EXPECT_EQ(ui.lastLog(), "NFQUEUE stopped. Any held packets were flushed.");
  EXPECT_FALSE(ui.editor().engine.isRunning());
  EXPECT_EQ(ui.editor().pingTimeoutMs.load(), 1500u);
  ui.frame();
  EXPECT_TRUE(ui.hasItem("START MONITOR"));
}

// The activity rates follow the engine's counters on the GUI clock.
TEST(ModuleActivity, SmoothedRatesScaleAndCounterReset) {
  auto packets = test::FakeNetwork::create();
  EditorServices services;
  services.packetDrivers = packets->factory();
  test::UiHarness ui(ImVec2(1600, 900), std::move(services));
  Editor& editor = ui.editor();
  auto node = [](int32_t id, NodeType type) {
    Node n;
    n.id = id;
    n.type = static_cast<int32_t>(type);
    return n;
  };
  // PC -IN-> Block -IN-> Router: every inbound packet is blocked.
  editor.nodes = {node(1, NodeType::PC), node(2, NodeType::Block), node(3, NodeType::Router)};
  editor.connections = {{1, 1, 2, WireDirection::Inbound}, {2, 2, 3, WireDirection::Inbound}};
  editor.requestedTab = 1;
  ASSERT_TRUE(editor.startSimulation()) << editor.engine.stats().lastError;
  ui.frame(1, 0.25f);  // baseline
  auto feed = [&](int count) {
    for (int i = 0; i < count; ++i) packets->feed(static_cast<uint32_t>(i), false);
    ASSERT_TRUE(packets->waitIdle());
  };
  const int blocked = 4;  // index of BLOCKED

  feed(100);
  ui.frame(1, 0.1f);  // too soon after the baseline: no sample
  EXPECT_EQ(editor.activityRates[blocked], 0.0f);
  ui.frame(1, 0.15f);  // 100 packets in 0.25 s = 400/s, smoothed to 220
  EXPECT_NEAR(editor.activityRates[blocked], 220.0f, 0.01f);
  EXPECT_EQ(editor.activityScale, 500.0f);  // 1.15 x 220 = 253 rounds up to the next nice step
  ui.frame(1, 0.25f);                       // quiet: 0.45 x 220 = 99
  EXPECT_NEAR(editor.activityRates[blocked], 99.0f, 0.01f);
  EXPECT_FLOAT_EQ(editor.activityScale, 470.0f);

  // A counter reset under the sampler: the new count is the delta, not a wrap.
  editor.engine.resetCounters();
  feed(10);
  ui.frame(1, 0.25f);
  EXPECT_NEAR(editor.activityRates[blocked], 0.45f * 99.0f + 0.55f * 40.0f, 0.01f);

  ui.click(ui.itemCenter("RESET DRIVER STATS"));
  EXPECT_EQ(editor.engine.stats().blockedActivity, 0u);
  EXPECT_EQ(editor.activityRates[blocked], 0.0f);
  EXPECT_EQ(editor.activityScale, 100.0f);
  EXPECT_EQ(editor.activitySampleTime, 0.0);
  editor.stopSimulation();
}

}  // namespace
}  // namespace rivulo
