#include "engine/wired_effects.h"

#include <cstdio>

namespace rivulo {

namespace {

std::string format(const char* pattern, auto... values) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, pattern, values...);
  return buffer;
}

const char* onOff(bool on) { return on ? "ON" : "OFF"; }

}  // namespace

std::array<std::string, 6> wiredEffectsLines(const ActiveEffects& effects) {
  const EffectConfig& in = effects.inbound;
  const EffectConfig& out = effects.outbound;
  return {
      format("IN   latency %ums  hold %ums  burst %ums", in.latencyMs, in.holdMs, in.burstMs),
      format("     jitter %ums  drop %.1f%%  dup %.1f%%  everyN %u", in.jitterMs, in.dropPercent, in.duplicatePercent,
             in.everyN),
      format("OUT  latency %ums  hold %ums  burst %ums", out.latencyMs, out.holdMs, out.burstMs),
      format("     jitter %ums  drop %.1f%%  dup %.1f%%  everyN %u", out.jitterMs, out.dropPercent, out.duplicatePercent,
             out.everyN),
      format("Throttle: IN %s  OUT %s", onOff(in.throttleBytesPerSecond != 0), onOff(out.throttleBytesPerSecond != 0)),
      format("Block:    IN %s  OUT %s", onOff(in.block), onOff(out.block)),
  };
}

}  // namespace rivulo
