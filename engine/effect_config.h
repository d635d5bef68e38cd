#pragma once
// What the editor tells the packet engine: effect settings per direction.
#include <cstdint>
#include <string>

namespace rivulo {

struct EffectConfig {
  uint32_t latencyMs = 0;
  uint32_t jitterMs = 0;
  double dropPercent = 0.0;
  uint64_t throttleBytesPerSecond = 0;
  bool block = false;
  uint32_t holdMs = 0;
  uint32_t burstMs = 0;
  double duplicatePercent = 0.0;
  uint32_t everyN = 0;

  bool operator==(const EffectConfig&) const = default;
};

// Inbound first: the engine's direction index is 0 for inbound, 1 for outbound.
struct ActiveEffects {
  EffectConfig inbound;
  EffectConfig outbound;

  bool operator==(const ActiveEffects&) const = default;
};

// The FILTER choice of the top bar, in combo order.
enum class FilterMode : int32_t {
  All = 0,
  Udp = 1,
  Tcp = 2,
  Ip = 3,
  Inbound = 4,
  Outbound = 5,
  Custom = 6,
};

}  // namespace rivulo
