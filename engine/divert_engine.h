#pragma once
// Diverts matching IP packets through the effect modules and sends them back,
// now or when their delay has passed. One capture thread decides each
// packet's fate; one release thread sends held packets, earliest first.
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/divert_stats.h"
#include "engine/effect_config.h"
#include "engine/packet_driver.h"

namespace rivulo {

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

 private:
  PacketDriverFactory drivers_;
  mutable std::mutex stateMutex_;
  mutable std::mutex configMutex_;
  std::atomic<bool> running_{false};
  std::atomic<int32_t> mode_{0};
  std::string filter_ = "true";
  std::string lastError_;
  ActiveEffects effects_;
};

}  // namespace rivulo
