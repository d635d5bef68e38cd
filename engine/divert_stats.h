#pragma once
#include <cstdint>
#include <string>

namespace rivulo {

enum class EngineMode : int32_t {
  Stopped = 0,
  PassiveMonitor = 1,
  EffectPipeline = 2,
};

// A snapshot of the engine; not atomic as a whole.
struct DivertStats {
  bool running = false;
  bool handleOpen = false;
  int32_t mode = 0;
  uint64_t capturedIn = 0;
  uint64_t capturedOut = 0;
  uint64_t capturedInBytes = 0;
  uint64_t capturedOutBytes = 0;
  uint64_t delayed = 0;
  uint64_t dropped = 0;
  uint64_t reinjected = 0;
  uint64_t duplicated = 0;
  uint64_t latencyActivity = 0;
  uint64_t dropActivity = 0;
  uint64_t throttleActivity = 0;
  uint64_t jitterActivity = 0;
  uint64_t blockedActivity = 0;
  uint64_t heldQueue = 0;
  std::string filter;
  std::string lastError;
  bool queueFull = false;  // the driver's kernel queue is at its cap
};

}  // namespace rivulo
