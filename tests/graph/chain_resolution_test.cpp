#include "graph/chain_resolution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/editor.h"
#include "graph/node_catalogue.h"

namespace rivulo {
namespace {

constexpr auto Out = WireDirection::Outbound;
constexpr auto In = WireDirection::Inbound;

Node makeNode(int32_t id, NodeType type) {
  Node n;
  n.id = id;
  n.type = static_cast<int32_t>(type);
  return n;
}

Node latency(int32_t id, float delay, float jitter = 0.0f) {
  Node n = makeNode(id, NodeType::Latency);
  n.delayMs = delay;
  n.jitterMs = jitter;
  return n;
}

Connection wire(int32_t from, int32_t to, WireDirection d = Out) { return Connection{0, from, to, d}; }

// The algorithm exactly as the product describes it: a scan of every wire for
// every dequeued id, lookups by linear search. Kept plain on purpose.
EffectConfig referenceResolve(const std::vector<Node>& nodes, const std::vector<Connection>& connections,
                              WireDirection d) {
  auto findNode = [&](int32_t id) -> const Node* {
    for (const Node& n : nodes)
      if (n.id == id) return &n;
    return nullptr;
  };
  std::set<int32_t> globallyVisited;
  std::vector<int32_t> bestComponent;
  for (const Node& start : nodes) {
    if (globallyVisited.count(start.id)) continue;
    std::deque<int32_t> pending;
    std::vector<int32_t> component;
    globallyVisited.insert(start.id);
    pending.push_back(start.id);
    while (!pending.empty()) {
      const int32_t id = pending.front();
      pending.pop_front();
      component.push_back(id);
      for (const Connection& c : connections) {
        if (c.direction != d) continue;
        int32_t other;
        if (c.fromId == id) other = c.toId;
        else if (c.toId == id) other = c.fromId;
        else continue;
        if (!globallyVisited.count(other)) {
          globallyVisited.insert(other);
          pending.push_back(other);
        }
      }
    }
    int devices = 0;
    bool enabledEffect = false;
    for (int32_t id : component) {
      const Node* n = findNode(id);
      if (n == nullptr) continue;
      if (!isEffectNodeType(n->type) && n->type != 18 && n->type != 19 && n->type != 20) ++devices;
      if (isEffectNodeType(n->type) && n->enabled) enabledEffect = true;
    }
    if (devices >= 2 && enabledEffect && component.size() > bestComponent.size()) bestComponent = component;
  }

  EffectConfig cfg;
  if (bestComponent.empty()) return cfg;
  double dropKeep = 1.0, dupKeep = 1.0;
  bool dropSeen = false, dupSeen = false;
  for (int32_t id : bestComponent) {
    const Node* n = findNode(id);
    if (n == nullptr || !n->enabled) continue;
    switch (n->type) {
      case 5:
        cfg.latencyMs += static_cast<uint32_t>(std::clamp(n->delayMs, 0.0f, 30000.0f));
        cfg.jitterMs += static_cast<uint32_t>(std::clamp(n->jitterMs, 0.0f, 30000.0f));
        break;
      case 6: {
        const float p = std::clamp(n->dropPercent, 0.0f, 100.0f);
        dropKeep *= (1.0 - p / 100.0);
        dropSeen = true;
        break;
      }
      case 7: cfg.jitterMs += static_cast<uint32_t>(std::clamp(n->jitterMs, 0.0f, 30000.0f)); break;
      case 8: {
        const auto rate = static_cast<uint64_t>(std::max(1.0f, n->limitKBps) * 1024.0f);
        if (cfg.throttleBytesPerSecond == 0 || rate < cfg.throttleBytesPerSecond) cfg.throttleBytesPerSecond = rate;
        break;
      }
      case 9: cfg.holdMs += static_cast<uint32_t>(std::clamp(n->holdMs, 0.0f, 30000.0f)); break;
      case 10: cfg.burstMs = std::max(cfg.burstMs, static_cast<uint32_t>(std::clamp(n->burstMs, 0.0f, 30000.0f))); break;
      case 11: {
        const float p = std::clamp(n->duplicatePercent, 0.0f, 100.0f);
        dupKeep *= (1.0 - p / 100.0);
        dupSeen = true;
        break;
      }
      case 12: {
        const auto every = static_cast<uint32_t>(std::clamp(n->dropEveryNth, 2, 1000));
        if (cfg.everyN == 0 || every < cfg.everyN) cfg.everyN = every;
        break;
      }
      case 17: cfg.block = true; break;
      default: break;
    }
  }
  if (dropSeen) cfg.dropPercent = std::clamp((1.0 - dropKeep) * 100.0, 0.0, 100.0);
  if (dupSeen) cfg.duplicatePercent = std::clamp((1.0 - dupKeep) * 100.0, 0.0, 100.0);
  cfg.latencyMs = std::min(cfg.latencyMs, 30000u);
  cfg.jitterMs = std::min(cfg.jitterMs, 30000u);
  cfg.holdMs = std::min(cfg.holdMs, 30000u);
  cfg.burstMs = std::min(cfg.burstMs, 30000u);
  return cfg;
}

EffectConfig withLatency(uint32_t ms) {
  EffectConfig c;
  c.latencyMs = ms;
  return c;
}

// Which chain wins, and what counts as a chain.
TEST(ChainResolution, ChoosesTheLargestCompleteChainOfEachColour) {
  struct Case {
    const char* name;
    std::vector<Node> nodes;
    std::vector<Connection> wires;
    EffectConfig outbound;
    EffectConfig inbound;
  };
  const Node pc1 = makeNode(1, NodeType::PC), router3 = makeNode(3, NodeType::Router);
  Node disabled = latency(2, 150);
  disabled.enabled = false;
  const Case cases[] = {
      {"PC -> Latency -> Router, OUT", {pc1, latency(2, 150), router3}, {wire(1, 2), wire(2, 3)}, withLatency(150), {}},
      {"the same as IN wires", {pc1, latency(2, 150), router3}, {wire(1, 2, In), wire(2, 3, In)}, {}, withLatency(150)},
      {"arrows do not matter", {pc1, latency(2, 150), router3}, {wire(3, 2), wire(1, 2)}, withLatency(150), {}},
      {"the colours are not mixed", {pc1, latency(2, 150), router3}, {wire(1, 2), wire(2, 3, In)}, {}, {}},
      {"one device only", {pc1, latency(2, 150), latency(3, 10)}, {wire(1, 2), wire(2, 3)}, {}, {}},
      {"only a disabled effect", {pc1, disabled, router3}, {wire(1, 2), wire(2, 3)}, {}, {}},
      {"only diagnostics between devices",
       {pc1, makeNode(2, NodeType::PingProbe), makeNode(4, NodeType::PacketMeter), makeNode(5, NodeType::Note), router3},
       {wire(1, 2), wire(2, 4), wire(4, 5), wire(5, 3)},
       {},
       {}},
      {"an out-of-range kind counts as a device",
       {makeNode(1, static_cast<NodeType>(42)), latency(2, 150), router3},
       {wire(1, 2), wire(2, 3)},
       withLatency(150),
       {}},
      {"4 nodes beat 3",
       {pc1, latency(2, 10), router3, makeNode(4, NodeType::PC), latency(5, 20), latency(6, 1), makeNode(7, NodeType::Server)},
       {wire(1, 2), wire(2, 3), wire(4, 5), wire(5, 6), wire(6, 7)},
       withLatency(21),
       {}},
      {"a tie goes to the chain whose earliest node comes first",
       {makeNode(4, NodeType::PC), pc1, latency(2, 10), router3, latency(5, 20), makeNode(6, NodeType::Server)},
       {wire(1, 2), wire(2, 3), wire(4, 5), wire(5, 6)},
       withLatency(20),
       {}},
      {"a diagnostic counts as a member",
       {pc1, latency(2, 10), router3, makeNode(4, NodeType::PC), latency(5, 20), makeNode(6, NodeType::Server),
        makeNode(7, NodeType::Note)},
       {wire(1, 2), wire(2, 3), wire(4, 5), wire(5, 6), wire(6, 7)},
       withLatency(20),
       {}},
      {"so does a wire end naming no node (a tie of 4, the earlier wins)",
       {pc1, latency(2, 10), router3, makeNode(4, NodeType::PC), latency(5, 20), makeNode(6, NodeType::Server),
        makeNode(7, NodeType::Note)},
       {wire(1, 2), wire(2, 3), wire(2, 99), wire(4, 5), wire(5, 6), wire(6, 7)},
       withLatency(10),
       {}},
      {"a wire end naming no node still joins its wires",
       {pc1, latency(2, 10), router3},
       {wire(1, 99), wire(99, 2), wire(2, 3)},
       withLatency(10),
       {}},
      {"a repeated id is looked up as its first node",
       {pc1, latency(2, 10), latency(2, 500), router3},
       {wire(1, 2), wire(2, 3)},
       withLatency(10),
       {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(resolveChains(c.nodes, c.wires, Out), c.outbound) << c.name;
    EXPECT_EQ(resolveChains(c.nodes, c.wires, In), c.inbound) << c.name;
  }
}

// How the enabled effects of the chosen chain fold into one record.
TEST(ChainResolution, FoldsEffectsWithTheirCaps) {
  auto effect = [](NodeType type, auto set) {
    Node n = makeNode(0, type);
    set(n);
    return n;
  };
  struct Case {
    const char* name;
    std::vector<Node> effects;  // wired in a row between a PC and a Router
    EffectConfig expected;
  };
  EffectConfig latencyCap, latencyJitter, drop75, drop100, throttle, throttleFloor, nth, burst, block, mixed, nan;
  latencyCap.latencyMs = 30000;
  latencyJitter.latencyMs = 100, latencyJitter.jitterMs = 50;
  drop75.dropPercent = 75.0;
  drop100.dropPercent = 100.0;
  throttle.throttleBytesPerSecond = 51200;
  throttleFloor.throttleBytesPerSecond = 1024;
  nth.everyN = 2;
  burst.burstMs = 300;
  block.block = true;
  mixed.holdMs = 30000, mixed.duplicatePercent = 100.0, mixed.jitterMs = 30000;
  nan.throttleBytesPerSecond = 1024, nan.dropPercent = 0.0;
  const Case cases[] = {
      {"latencies add up to the cap", {latency(0, 20000), latency(0, 20000)}, latencyCap},
      {"latency jitter adds to a jitter node",
       {latency(0, 100, 20), effect(NodeType::Jitter, [](Node& n) { n.jitterMs = 30; })},
       latencyJitter},
      {"drops combine like chances",
       {effect(NodeType::Drop, [](Node& n) { n.dropPercent = 50; }), effect(NodeType::Drop, [](Node& n) { n.dropPercent = 50; })},
       drop75},
      {"a drop above 100 counts as 100", {effect(NodeType::Drop, [](Node& n) { n.dropPercent = 150; })}, drop100},
      {"the slowest throttle wins",
       {effect(NodeType::Throttle, [](Node& n) { n.limitKBps = 100; }),
        effect(NodeType::Throttle, [](Node& n) { n.limitKBps = 50; })},
       throttle},
      {"a throttle of 0 still lets 1 KB/s through", {effect(NodeType::Throttle, [](Node& n) { n.limitKBps = 0; })}, throttleFloor},
      {"the most frequent nth drop wins, never below 2",
       {effect(NodeType::NthDrop, [](Node& n) { n.dropEveryNth = 10; }),
        effect(NodeType::NthDrop, [](Node& n) { n.dropEveryNth = 1; })},
       nth},
      {"the longest burst window wins",
       {effect(NodeType::Burst, [](Node& n) { n.burstMs = 100; }), effect(NodeType::Burst, [](Node& n) { n.burstMs = 300; })},
       burst},
      {"a disabled block does nothing, an enabled one alone blocks",
       {effect(NodeType::Block, [](Node& n) { n.enabled = false; }), effect(NodeType::Block, [](Node&) {})},
       block},
      {"holds, jitters and duplicates are capped",
       {effect(NodeType::HoldGate, [](Node& n) { n.holdMs = 99999; }),
        effect(NodeType::HoldGate, [](Node& n) { n.holdMs = 1; }),
        effect(NodeType::Jitter, [](Node& n) { n.jitterMs = 1e9f; }),
        effect(NodeType::Duplicate, [](Node& n) { n.duplicatePercent = 300; })},
       mixed},
      // A damaged file must not turn into undefined conversions.
      {"not-a-number settings count as their lower bound",
       {latency(0, std::nanf(""), std::nanf("")), effect(NodeType::Throttle, [](Node& n) { n.limitKBps = std::nanf(""); }),
        effect(NodeType::Drop, [](Node& n) { n.dropPercent = std::nanf(""); })},
       nan},
  };
  for (const Case& c : cases) {
    std::vector<Node> nodes{makeNode(1, NodeType::PC)};
    std::vector<Connection> wires;
    int32_t id = 2;
    for (Node n : c.effects) {
      n.id = id;
      nodes.push_back(n);
      wires.push_back(wire(id - 1, id));
      ++id;
    }
    nodes.push_back(makeNode(id, NodeType::Router));
    wires.push_back(wire(id - 1, id));
    EXPECT_EQ(resolveChains(nodes, wires, Out), c.expected) << c.name;
  }

  // A throttle beyond what 64 bits hold saturates instead of wrapping.
  std::vector<Node> huge{makeNode(1, NodeType::PC), effect(NodeType::Throttle, [](Node& n) {
                           n.id = 2;
                           n.limitKBps = std::numeric_limits<float>::infinity();
                         }),
                         makeNode(3, NodeType::Router)};
  EXPECT_EQ(resolveChains(huge, {wire(1, 2), wire(2, 3)}, Out).throttleBytesPerSecond, UINT64_MAX);
}

TEST(ChainResolution, MatchesThePlainAlgorithmOnRandomGraphs) {
  std::mt19937 rng(20261210);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto value = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
  int chainsFound = 0;  // keeps the generator honest: most rounds must hold a complete chain
  for (int round = 0; round < 4000; ++round) {
    const int count = pick(0, 24);
    const bool sparseIds = pick(0, 4) == 0;
    std::vector<Node> nodes;
    for (int k = 0; k < count; ++k) {
      Node n;
      n.id = sparseIds ? pick(-50000, 50000) : pick(1, count + 3);  // repeats and gaps included
      // Mostly effects and devices, sometimes a diagnostic or an unknown kind.
      const int roll = pick(0, 9);
      n.type = roll < 5 ? std::array{5, 6, 7, 8, 9, 10, 11, 12, 17}[pick(0, 8)]
               : roll < 8 ? std::array{0, 1, 2, 3, 4, 13, 14, 15, 16}[pick(0, 8)]
                          : pick(-2, 23);
      n.delayMs = value(-100, 25000);
      n.jitterMs = value(-100, 25000);
      n.dropPercent = value(-20, 130);
      n.limitKBps = value(-5, 5000);
      n.holdMs = value(-100, 25000);
      n.burstMs = value(-100, 35000);
      n.duplicatePercent = value(-20, 130);
      n.dropEveryNth = pick(-3, 1200);
      n.enabled = pick(0, 4) != 0;
      nodes.push_back(n);
    }
    std::vector<Connection> wires;
    const int wireCount = pick(0, 40);
    for (int k = 0; k < wireCount; ++k) {
      auto end = [&] {
        if (!nodes.empty() && pick(0, 9) != 0) return nodes[static_cast<size_t>(pick(0, count - 1))].id;
        return pick(60000, 60005);  // a wire end that names no node
      };
      wires.push_back(Connection{k + 1, end(), end(), pick(0, 1) ? In : Out});
    }
    for (WireDirection d : {Out, In}) {
      const EffectConfig expected = referenceResolve(nodes, wires, d);
      const EffectConfig got = resolveChains(nodes, wires, d);
      chainsFound += expected == EffectConfig{} ? 0 : 1;
      ASSERT_EQ(got, expected) << "round " << round << " direction " << static_cast<int>(d)
                               << ": latency " << got.latencyMs << " vs " << expected.latencyMs;
    }
  }
  EXPECT_GT(chainsFound, 2000);
}

TEST(ChainResolution, SyncHandsTheEngineThePairAndSetsThePingTimeout) {
  EditorServices services;
  services.openAutoload = false;
  Editor editor(std::move(services));
  EXPECT_EQ(editor.pingTimeoutMs.load(), 1500u);
  editor.syncEffects();
  EXPECT_EQ(editor.pingTimeoutMs.load(), 2500u) << "no delaying effect";

  Node hold = makeNode(5, NodeType::HoldGate);
  hold.holdMs = 5000;
  editor.nodes = {makeNode(1, NodeType::PC), latency(2, 100), makeNode(3, NodeType::Router), hold};
  editor.connections = {wire(1, 2, In), wire(2, 3, In), wire(1, 5, Out), wire(5, 3, Out)};
  editor.syncEffects();
  EXPECT_EQ(editor.pingTimeoutMs.load(), 7600u);
  EXPECT_EQ(editor.engine.currentEffects(), editor.resolveEffects());
  EXPECT_EQ(editor.engine.currentEffects().inbound.latencyMs, 100u);
  EXPECT_EQ(editor.engine.currentEffects().outbound.holdMs, 5000u);

  editor.nodes[1].delayMs = 30000;
  editor.nodes[1].jitterMs = 30000;
  editor.syncEffects();
  EXPECT_EQ(editor.pingTimeoutMs.load(), 30000u);
}

}  // namespace
}  // namespace rivulo
