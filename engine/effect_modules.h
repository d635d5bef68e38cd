#pragma once
// One small class per kind of traffic effect. The capture thread asks each
// module, packet by packet, for a delay or a yes/no; modules never see the
// packet bytes or the driver. Per-packet calls are plain members (the engine
// holds every module by its concrete type), allocate nothing and lock only
// where state must survive a reset from the UI thread.
#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <random>

#include "engine/effect_config.h"

namespace rivulo {

using SteadyTime = std::chrono::steady_clock::time_point;

// No single wait, and no packet's summed delay, exceeds this.
inline constexpr uint32_t kMaxDelayMs = 30000;

// The summed delay of one packet: added in 64 bits so that five large
// contributions cannot wrap, then capped.
uint32_t combinedDelayMs(uint32_t hold, uint32_t latency, uint32_t jitter, uint32_t burst, uint32_t throttle);

class NetworkModule {
 public:
  NetworkModule() = default;
  NetworkModule(const NetworkModule&) = delete;
  NetworkModule& operator=(const NetworkModule&) = delete;
  virtual ~NetworkModule() = default;
  virtual const char* name() const = 0;
};

class LatencyModule final : public NetworkModule {
 public:
  const char* name() const override { return "Latency"; }
  uint32_t delay(const EffectConfig& config) const { return config.latencyMs; }
};

class HoldModule final : public NetworkModule {
 public:
  const char* name() const override { return "Hold Gate"; }
  uint32_t delay(const EffectConfig& config) const { return config.holdMs; }
};

// A uniform extra delay in [0, jitterMs].
class JitterModule final : public NetworkModule {
 public:
  JitterModule();
  explicit JitterModule(uint32_t seed) : random_(seed) {}
  const char* name() const override { return "Jitter"; }
  uint32_t delay(const EffectConfig& config);

 private:
  std::mt19937 random_;
};

class DropModule final : public NetworkModule {
 public:
  DropModule();
  explicit DropModule(uint32_t seed) : random_(seed) {}
  const char* name() const override { return "Drop"; }
  bool shouldDrop(const EffectConfig& config);

 private:
  std::mt19937 random_;
};

class DuplicateModule final : public NetworkModule {
 public:
  DuplicateModule();
  explicit DuplicateModule(uint32_t seed) : random_(seed) {}
  const char* name() const override { return "Duplicate"; }
  bool shouldDuplicate(const EffectConfig& config);

 private:
  std::mt19937 random_;
};

// Each direction sends at the configured rate: a packet waits until the end
// of its own transmission slot, slots follow each other while traffic is
// backed up, and an idle period brings the slot back to the present.
class ThrottleModule final : public NetworkModule {
 public:
  const char* name() const override { return "Throttle"; }
  uint32_t delay(int direction, uint64_t packetLength, const EffectConfig& config, SteadyTime now);
  void reset();

 private:
  std::mutex mutex_;
  std::array<SteadyTime, 2> nextFree_{};  // a zero count means unset
};

// Packets wait until the end of the current window and leave together; the
// first packet after a quiet period opens a new window.
class BurstModule final : public NetworkModule {
 public:
  const char* name() const override { return "Burst"; }
  uint32_t delay(int direction, const EffectConfig& config, SteadyTime now);
  void reset();

 private:
  std::mutex mutex_;
  std::array<SteadyTime, 2> windowEnd_{};  // a zero count means unset
};

// Drops every N-th packet that reaches it, counted per direction.
class NthDropModule final : public NetworkModule {
 public:
  const char* name() const override { return "Nth Drop"; }
  bool shouldDrop(int direction, const EffectConfig& config);
  void reset();

 private:
  std::mutex mutex_;
  std::array<uint64_t, 2> counters_{};
};

}  // namespace rivulo
