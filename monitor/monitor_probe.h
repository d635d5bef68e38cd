#pragma once
// What the monitor worker needs from the system: name resolution, one ICMP
// echo, and the interface packet counters. platform/linux/ implements it;
// tests use a fake.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace rivulo {

struct ResolveResult {
  bool ok = false;
  uint32_t address = 0;  // IPv4, network byte order
  std::string dotted;    // the address as text
};

struct PingResult {
  bool online = false;
  float pingMs = -1.0f;
  std::string message;  // empty after a successful reply
};

struct InterfaceCounters {
  bool ok = false;
  uint64_t inPackets = 0;
  uint64_t outPackets = 0;
};

class MonitorProbe {
 public:
  virtual ~MonitorProbe() = default;
  virtual ResolveResult resolve(const std::string& target) = 0;
  // False when no ICMP socket could be opened ("ICMP is unavailable").
  virtual bool icmpAvailable() = 0;
  // Waits at most timeoutMs for the reply, and gives up early once `stop` is set.
  virtual PingResult ping(uint32_t address, uint32_t timeoutMs, const std::atomic<bool>& stop) = 0;
  virtual InterfaceCounters readCounters() = 0;
};

using MonitorProbeFactory = std::function<std::unique_ptr<MonitorProbe>()>;

}  // namespace rivulo
