#pragma once
#include <cstdint>
#include <string>

namespace rivulo {

// One result published by the monitor worker.
struct MonitorSample {
  uint64_t sequence = 0;
  bool online = false;
  float pingMs = -1.0f;
  std::string address;
  std::string message;
  uint64_t inPackets = 0;
  uint64_t outPackets = 0;
  bool interfaceOk = false;
};

}  // namespace rivulo
