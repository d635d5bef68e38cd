// Chain resolution runs every frame while the simulation is on; this is its
// cost on a large design.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "graph/chain_resolution.h"

namespace rivulo {
namespace {

struct Design {
  std::vector<Node> nodes;
  std::vector<Connection> connections;
};

// 1000 nodes of every kind, 2000 wires of both colours between random pairs.
Design randomDesign() {
  Design d;
  std::mt19937 rng(7);
  for (int32_t id = 1; id <= 1000; ++id) {
    Node n;
    n.id = id;
    n.type = static_cast<int32_t>(rng() % kNodeTypeCount);
    d.nodes.push_back(n);
  }
  for (int32_t id = 1; id <= 2000; ++id) {
    const auto from = static_cast<int32_t>(1 + rng() % 1000);
    const auto to = static_cast<int32_t>(1 + rng() % 1000);
    d.connections.push_back({id, from, to, (rng() & 1) ? WireDirection::Inbound : WireDirection::Outbound});
  }
  return d;
}

// The same size as one chain of each colour through every node, the shape
// with the most folding work.
Design longChains() {
  Design d;
  for (int32_t id = 1; id <= 1000; ++id) {
    Node n;
    n.id = id;
    n.type = static_cast<int32_t>(id % 2 ? NodeType::PC : NodeType::Latency);
    d.nodes.push_back(n);
  }
  int32_t wireId = 1;
  for (WireDirection dir : {WireDirection::Outbound, WireDirection::Inbound}) {
    for (int32_t id = 1; id < 1000; ++id) d.connections.push_back({wireId++, id, id + 1, dir});
    d.connections.push_back({wireId++, 1000, 1, dir});
  }
  return d;
}

void resolveBoth(benchmark::State& state, const Design& d) {
  for (auto _ : state) {
    ActiveEffects effects;
    effects.inbound = resolveChains(d.nodes, d.connections, WireDirection::Inbound);
    effects.outbound = resolveChains(d.nodes, d.connections, WireDirection::Outbound);
    benchmark::DoNotOptimize(effects);
  }
}

void BM_ResolveEffects_1000Nodes2000Wires(benchmark::State& state) {
  static const Design d = randomDesign();
  resolveBoth(state, d);
}
BENCHMARK(BM_ResolveEffects_1000Nodes2000Wires)->Unit(benchmark::kMicrosecond);

void BM_ResolveEffects_1000NodesTwoLongChains(benchmark::State& state) {
  static const Design d = longChains();
  resolveBoth(state, d);
}
BENCHMARK(BM_ResolveEffects_1000NodesTwoLongChains)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace rivulo
