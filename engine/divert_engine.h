#pragma once
// Diverts matching IP packets through the effect modules and sends them back,
// now or when their delay has passed. One capture thread decides each
// packet's fate; one release thread sends held packets, earliest first.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/divert_stats.h"
#include "engine/effect_config.h"
#include "engine/effect_modules.h"
#include "engine/packet_driver.h"

namespace rivulo {

// One held packet, waiting for its release time.
struct PendingPacket {
  SteadyTime releaseAt{};
  uint64_t sequence = 0;  // ties in releaseAt leave in queueing order
  std::vector<uint8_t> data;
  PacketAddress address;
};

// Heap ordering: true when `a` ranks below `b`, so the top is the earliest
// releaseAt and, among equal times, the smaller sequence.
struct PendingPacketOrder {
  bool operator()(const PendingPacket& a, const PendingPacket& b) const {
    if (a.releaseAt == b.releaseAt) return a.sequence > b.sequence;
    return a.releaseAt > b.releaseAt;
  }
};

class DivertEngine {
 public:
  explicit DivertEngine(PacketDriverFactory drivers = {});
  ~DivertEngine();
  DivertEngine(const DivertEngine&) = delete;
  DivertEngine& operator=(const DivertEngine&) = delete;

  bool start(const std::string& filter, EngineMode mode);
  bool startMonitor(const std::string& filter) { return start(filter, EngineMode::PassiveMonitor); }
  bool startPipeline(const std::string& filter) { return start(filter, EngineMode::EffectPipeline); }
  void stop();

  void applyEffects(const ActiveEffects& effects);
  ActiveEffects currentEffects() const;
  void resetCounters();
  DivertStats stats() const;

  bool isPipelineActive() const;
  bool isRunning() const { return running_.load(); }
  EngineMode currentMode() const { return static_cast<EngineMode>(mode_.load()); }

  // The text shown for a failed driver call.
  static std::string errorText(const DriverError& error);
  // Texts of the numeric codes of the original Windows driver.
  static std::string errorText(uint32_t code);

  // Size of the capture loop's receive buffer: the largest IP packet.
  static constexpr size_t kBufferSize = 65535;

 private:
  void captureLoop();
  void releaseLoop();
  void enqueue(std::vector<uint8_t> data, const PacketAddress& address, SteadyTime releaseAt);
  bool send(const uint8_t* data, size_t length, const PacketAddress& address);
  EffectConfig copyConfig(int direction) const;
  void setLastError(const std::string& text);
  PacketDriver* currentDriver() const;
  // Sets stopRequested and wakes the release loop. The queue lock is taken
  // in between so that a release loop about to wait cannot miss the wake-up.
  void requestStop();

  PacketDriverFactory drivers_;

  mutable std::mutex stateMutex_;   // driver_, handleOpen_, filter_, lastError_
  mutable std::mutex configMutex_;  // effects_
  std::thread captureThread_;
  std::thread releaseThread_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> running_{false};
  std::atomic<int32_t> mode_{0};
  std::unique_ptr<PacketDriver> driver_;  // the open capture, or none
  bool handleOpen_ = false;
  std::string filter_ = "true";
  std::string lastError_;
  ActiveEffects effects_;

  mutable std::mutex queueMutex_;  // releaseQueue_
  std::condition_variable queueCondition_;
  std::vector<PendingPacket> releaseQueue_;  // a heap by PendingPacketOrder
  std::atomic<uint64_t> nextSequence_{0};

  LatencyModule latency_;
  JitterModule jitter_;
  DropModule drop_;
  ThrottleModule throttle_;
  HoldModule hold_;
  BurstModule burst_;
  DuplicateModule duplicate_;
  NthDropModule nthDrop_;

  std::atomic<uint64_t> capturedIn_{0};
  std::atomic<uint64_t> capturedOut_{0};
  std::atomic<uint64_t> capturedInBytes_{0};
  std::atomic<uint64_t> capturedOutBytes_{0};
  std::atomic<uint64_t> delayed_{0};
  std::atomic<uint64_t> dropped_{0};
  std::atomic<uint64_t> reinjected_{0};
  std::atomic<uint64_t> duplicated_{0};
  std::atomic<uint64_t> latencyActivity_{0};
  std::atomic<uint64_t> dropActivity_{0};
  std::atomic<uint64_t> throttleActivity_{0};
  std::atomic<uint64_t> jitterActivity_{0};
  std::atomic<uint64_t> blockedActivity_{0};
};

}  // namespace rivulo
