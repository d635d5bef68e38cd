#include "engine/divert_engine.h"

namespace rivulo {

DivertEngine::DivertEngine(PacketDriverFactory drivers) : drivers_(std::move(drivers)) {}

DivertEngine::~DivertEngine() { stop(); }

bool DivertEngine::start(const std::string& filter, EngineMode mode) {
  (void)filter;
  (void)mode;
  std::lock_guard lock(stateMutex_);
  lastError_ = "NFQUEUE support or iptables was not found on this system.";
  return false;
}

void DivertEngine::stop() {
  running_ = false;
  mode_ = 0;
}

void DivertEngine::applyEffects(const ActiveEffects& effects) {
  std::lock_guard lock(configMutex_);
  effects_ = effects;
}

ActiveEffects DivertEngine::currentEffects() const {
  std::lock_guard lock(configMutex_);
  return effects_;
}

void DivertEngine::resetCounters() {}

DivertStats DivertEngine::stats() const {
  DivertStats s;
  s.running = running_;
  s.mode = mode_;
  std::lock_guard lock(stateMutex_);
  s.filter = filter_;
  s.lastError = lastError_;
  return s;
}

bool DivertEngine::isPipelineActive() const { return running_ && mode_ == 2; }

}  // namespace rivulo
