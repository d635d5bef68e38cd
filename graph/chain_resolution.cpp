// Folds the wired chains of each colour into the engine's effect settings.
//
// The groups are found by a breadth-first search over the wires of one
// colour, arrows ignored. Each node's neighbours are listed once per call, in
// wire order, so the search visits exactly the order a scan of every wire per
// node would, in time linear in nodes plus wires (it runs every frame while
// the simulation is on).
#include "graph/chain_resolution.h"

#include <algorithm>
#include <cmath>

#include "app/editor.h"
#include "engine/effect_modules.h"
#include "graph/node_catalogue.h"

namespace rivulo {

namespace {

// Dense indices for the ids met in one call: node ids first, in node order,
// then wire ends that name no node. Open addressing, no allocation per lookup.
class IdIndex {
 public:
  explicit IdIndex(size_t expected) {
    size_t capacity = 16;
    bits_ = 4;
    while (capacity < expected * 2) {
      capacity *= 2;
      ++bits_;
    }
    mask_ = capacity - 1;
    keys_.resize(capacity);
    values_.assign(capacity, -1);
  }

  // The id's index, a new one when the id was not met before.
  int32_t add(int32_t id) {
    size_t slot = home(id);
    while (values_[slot] >= 0) {
      if (keys_[slot] == id) return values_[slot];
      slot = (slot + 1) & mask_;
    }
    keys_[slot] = id;
    values_[slot] = count_;
    return count_++;
  }

  int32_t count() const { return count_; }

 private:
  size_t home(int32_t id) const {
    return static_cast<size_t>((static_cast<uint32_t>(id) * 0x9E3779B1u) >> (32 - bits_)) & mask_;
  }
  std::vector<int32_t> keys_;
  std::vector<int32_t> values_;
  size_t mask_ = 0;
  int bits_ = 4;
  int32_t count_ = 0;
};

// A float setting clamped into [lo, hi]; a NaN (a damaged file) counts as lo,
// so that the conversion to an integer below is always defined.
double clampSetting(float value, double lo, double hi) {
  const double v = value;
  if (!(v >= lo)) return lo;
  return v > hi ? hi : v;
}

uint32_t delaySetting(float value) { return static_cast<uint32_t>(clampSetting(value, 0.0, kMaxDelayMs)); }

}  // namespace

EffectConfig resolveChains(const std::vector<Node>& nodes, const std::vector<Connection>& connections,
                           WireDirection direction) {
  size_t wireCount = 0;
  for (const Connection& c : connections) wireCount += c.direction == direction ? 1 : 0;

  IdIndex index(nodes.size() + 2 * wireCount);
  // firstNode[i]: the first node carrying id i (the one a lookup by id finds), or -1.
  std::vector<int32_t> firstNode;
  firstNode.reserve(nodes.size() + 2 * wireCount);
  std::vector<int32_t> nodeIndex(nodes.size());
  for (size_t n = 0; n < nodes.size(); ++n) {
    const int32_t i = index.add(nodes[n].id);
    if (i == static_cast<int32_t>(firstNode.size())) firstNode.push_back(static_cast<int32_t>(n));
    nodeIndex[n] = i;
  }

  // Both ends of each wire of this colour; a wire from a node to itself leads nowhere new.
  std::vector<int32_t> ends;
  ends.reserve(2 * wireCount);
  for (const Connection& c : connections) {
    if (c.direction != direction) continue;
    const int32_t a = index.add(c.fromId);
    const int32_t b = index.add(c.toId);
    if (a == b) continue;
    ends.push_back(a);
    ends.push_back(b);
  }
  const size_t idCount = static_cast<size_t>(index.count());
  firstNode.resize(idCount, -1);

  // Neighbour lists in wire order (counting sort of the wire ends).
  std::vector<int32_t> start(idCount + 1, 0);
  for (int32_t e : ends) ++start[static_cast<size_t>(e) + 1];
  for (size_t i = 0; i < idCount; ++i) start[i + 1] += start[i];
  std::vector<int32_t> neighbours(ends.size());
  {
    std::vector<int32_t> fill(start.begin(), start.end() - 1);
    for (size_t k = 0; k < ends.size(); k += 2) {
      neighbours[static_cast<size_t>(fill[static_cast<size_t>(ends[k])]++)] = ends[k + 1];
      neighbours[static_cast<size_t>(fill[static_cast<size_t>(ends[k + 1])]++)] = ends[k];
    }
  }

  // Every group in node order; each group is a run of `order`, in the order
  // its ids leave the queue.
  std::vector<uint8_t> visited(idCount, 0);
  std::vector<int32_t> order;
  order.reserve(idCount);
  size_t bestStart = 0, bestSize = 0;
  for (size_t n = 0; n < nodes.size(); ++n) {
    const int32_t first = nodeIndex[n];
    if (visited[static_cast<size_t>(first)]) continue;
    visited[static_cast<size_t>(first)] = 1;
    const size_t groupStart = order.size();
    order.push_back(first);
    for (size_t head = groupStart; head < order.size(); ++head) {
      const size_t id = static_cast<size_t>(order[head]);
      for (int32_t k = start[id]; k < start[id + 1]; ++k) {
        const int32_t other = neighbours[static_cast<size_t>(k)];
        if (visited[static_cast<size_t>(other)]) continue;
        visited[static_cast<size_t>(other)] = 1;
        order.push_back(other);
      }
    }
    const size_t groupSize = order.size() - groupStart;
    if (groupSize <= bestSize) continue;  // only a strictly larger chain replaces the best

    int devices = 0;
    bool enabledEffect = false;
    for (size_t k = groupStart; k < order.size(); ++k) {
      const int32_t at = firstNode[static_cast<size_t>(order[k])];
      if (at < 0) continue;  // a wire end that names no node
      const Node& node = nodes[static_cast<size_t>(at)];
      if (isEffectNodeType(node.type)) {
        enabledEffect = enabledEffect || node.enabled;
      } else if (!isDiagnosticNodeType(node.type)) {
        ++devices;
      }
    }
    if (devices >= 2 && enabledEffect) {
      bestStart = groupStart;
      bestSize = groupSize;
    }
  }

  EffectConfig config;
  if (bestSize == 0) return config;

  // Sums in 64 bits: however many nodes a file holds, the caps below see the true total.
  uint64_t latency = 0, jitter = 0, hold = 0;
  double dropKeep = 1.0, duplicateKeep = 1.0;
  bool dropSeen = false, duplicateSeen = false;
  for (size_t k = bestStart; k < bestStart + bestSize; ++k) {
    const int32_t at = firstNode[static_cast<size_t>(order[k])];
    if (at < 0) continue;
    const Node& node = nodes[static_cast<size_t>(at)];
    if (!node.enabled) continue;
    switch (static_cast<NodeType>(node.type)) {
      case NodeType::Latency:
        latency += delaySetting(node.delayMs);
        jitter += delaySetting(node.jitterMs);
        break;
      case NodeType::Drop:
        dropKeep *= 1.0 - clampSetting(node.dropPercent, 0.0, 100.0) / 100.0;
        dropSeen = true;
        break;
      case NodeType::Jitter:
        jitter += delaySetting(node.jitterMs);
        break;
      case NodeType::Throttle: {
        // Single precision, as the rate is shown; a value beyond what 64 bits
        // hold saturates instead of wrapping.
        const float limit = std::isnan(node.limitKBps) ? 1.0f : std::max(1.0f, node.limitKBps);
        const float bytes = limit * 1024.0f;
        const uint64_t rate = bytes >= 18446744073709551616.0f ? UINT64_MAX : static_cast<uint64_t>(bytes);
        if (config.throttleBytesPerSecond == 0 || rate < config.throttleBytesPerSecond) {
          config.throttleBytesPerSecond = rate;
        }
        break;
      }
      case NodeType::HoldGate:
        hold += delaySetting(node.holdMs);
        break;
      case NodeType::Burst:
        config.burstMs = std::max(config.burstMs, delaySetting(node.burstMs));
        break;
      case NodeType::Duplicate:
        duplicateKeep *= 1.0 - clampSetting(node.duplicatePercent, 0.0, 100.0) / 100.0;
        duplicateSeen = true;
        break;
      case NodeType::NthDrop: {
        const uint32_t n = static_cast<uint32_t>(std::clamp(node.dropEveryNth, 2, 1000));
        if (config.everyN == 0 || n < config.everyN) config.everyN = n;
        break;
      }
      case NodeType::Block:
        config.block = true;
        break;
      default:
        break;  // devices and diagnostics
    }
  }
  if (dropSeen) config.dropPercent = std::clamp((1.0 - dropKeep) * 100.0, 0.0, 100.0);
  if (duplicateSeen) config.duplicatePercent = std::clamp((1.0 - duplicateKeep) * 100.0, 0.0, 100.0);
  config.latencyMs = static_cast<uint32_t>(std::min<uint64_t>(latency, kMaxDelayMs));
  config.jitterMs = static_cast<uint32_t>(std::min<uint64_t>(jitter, kMaxDelayMs));
  config.holdMs = static_cast<uint32_t>(std::min<uint64_t>(hold, kMaxDelayMs));
  config.burstMs = std::min(config.burstMs, kMaxDelayMs);
  return config;
}

uint32_t pingTimeoutFor(const ActiveEffects& effects) {
  uint64_t total = 2500;
  for (const EffectConfig* half : {&effects.inbound, &effects.outbound}) {
    total += static_cast<uint64_t>(half->latencyMs) + half->jitterMs + half->holdMs + half->burstMs;
  }
  return static_cast<uint32_t>(std::min<uint64_t>(total, 30000));
}

EffectConfig Editor::resolveDirection(WireDirection direction) const {
  return resolveChains(nodes, connections, direction);
}

ActiveEffects Editor::resolveEffects() const {
  ActiveEffects effects;
  effects.inbound = resolveDirection(WireDirection::Inbound);
  effects.outbound = resolveDirection(WireDirection::Outbound);
  return effects;
}

void Editor::syncEffects() {
  const ActiveEffects effects = resolveEffects();
  engine.applyEffects(effects);
  pingTimeoutMs.store(pingTimeoutFor(effects));
}

}  // namespace rivulo
