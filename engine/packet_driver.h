#pragma once
// The least the divert engine needs from a packet driver. One driver object
// stands for one open capture: the engine makes a fresh one per start through
// a PacketDriverFactory, opens it, runs its threads over it and closes it on
// stop. The Linux implementation lives in platform/linux/, a fake in tests/.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace rivulo {

enum class DriverMode {
  EffectPipeline,  // packets are taken out of the stack; the engine returns them
  PassiveMonitor,  // copies are sniffed; the packets themselves pass untouched
};

enum class ShutdownHow {
  Receive,  // wake a blocked receive; sends stay possible
  Both,
};

// Why a driver call failed. The engine turns it into its text (errorText).
enum class DriverErrorKind {
  None,
  NotFound,        // no driver support on this system
  AccessDenied,    // missing privileges
  FilterRejected,  // the filter text does not parse; detail says where and why
  NoData,          // receive after a receive shutdown: the normal end
  Aborted,         // the capture went away under a blocked receive
  Other,           // code holds the system's error number
};

struct DriverError {
  DriverErrorKind kind = DriverErrorKind::None;
  uint32_t code = 0;
  std::string detail;

  explicit operator bool() const { return kind != DriverErrorKind::None; }
};

// Travels with every received packet and comes back unchanged with send,
// hold and discard. `outbound` is the only field the engine reads; the
// engine sets `copy` on the extra sends of a duplicate. The rest belongs to
// the driver.
struct PacketAddress {
  bool outbound = false;
  bool copy = false;
  uint32_t packetId = 0;
  uint32_t interfaceIndex = 0;
  uint64_t driverData = 0;
};

struct DriverParams {
  uint32_t queueLength = 8192;
  uint32_t queueTimeMs = 2048;
};

class PacketDriver {
 public:
  virtual ~PacketDriver() = default;

  virtual DriverError open(const std::string& filter, DriverMode mode, const DriverParams& params) = 0;

  // Blocks until a packet arrives. On success fills `length` and `address`.
  virtual DriverError receive(uint8_t* buffer, size_t capacity, size_t& length, PacketAddress& address) = 0;

  // Returns the packet to the network (an accept, a re-send or a copy).
  virtual DriverError send(const uint8_t* data, size_t length, const PacketAddress& address) = 0;

  // The engine will keep this packet for a while before sending it. A driver
  // may take it out of its own queue now; `address` may be updated and is
  // what the later send receives.
  virtual void hold(PacketAddress& address) { (void)address; }

  // The engine drops this packet (block, random or nth drop): it is never sent.
  virtual void discard(const PacketAddress& address) { (void)address; }

  virtual void shutdown(ShutdownHow how) = 0;
  virtual void close() = 0;

  // True while the driver's own queue is full and new packets pass it
  // unconditioned.
  virtual bool queueFull() const { return false; }
};

using PacketDriverFactory = std::function<std::unique_ptr<PacketDriver>()>;

}  // namespace rivulo
