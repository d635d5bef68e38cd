#pragma once
// A packet driver that exists only in memory. The test feeds packets (or
// lets a generator produce them as fast as it can), and everything the
// engine does with them is recorded: sends with their times and copy flag,
// holds, discards, shutdowns and closes. Failures of open, receive and send
// and the rejection of a filter text can be injected.
//
// One FakeNetwork is shared by all the driver objects the factory makes, so
// a test keeps one handle across several engine starts.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/packet_driver.h"

namespace rivulo::test {

struct SentPacket {
  std::vector<uint8_t> data;
  PacketAddress address;
  std::chrono::steady_clock::time_point at;
};

struct OpenCall {
  std::string filter;
  DriverMode mode = DriverMode::EffectPipeline;
  DriverParams params;
};

class FakeNetwork : public std::enable_shared_from_this<FakeNetwork> {
 public:
  static std::shared_ptr<FakeNetwork> create() { return std::shared_ptr<FakeNetwork>(new FakeNetwork()); }

  PacketDriverFactory factory();

  // hold() adds this to the address's driverData, so a test can see that
  // a delayed packet is sent with the address hold() returned.
  static constexpr uint64_t kHeldTag = uint64_t{1} << 40;

  // --- what the engine receives ---
  // A packet whose first bytes carry `id` (little endian, 4 bytes) and whose
  // address has packetId = id; `length` at least 4.
  void feed(uint32_t id, bool outbound, size_t length = 100);
  void feedBytes(std::vector<uint8_t> bytes, PacketAddress address);
  // The next receive, after the packets fed so far, fails with `error`.
  void feedError(DriverError error);
  // Endless traffic for benchmarks: `count` copies of one packet, handed out
  // without waiting; sends are counted, not recorded.
  void generate(std::vector<uint8_t> packet, uint64_t count, bool alternateDirections);

  // --- injected failures ---
  void failOpen(DriverError error);
  void rejectFilter(const std::string& filter, const std::string& detail);
  void failSends(DriverError error);  // until cleared with failSends({})
  void setQueueFull(bool full) { queueFull_ = full; }

  // --- what the engine did ---
  std::vector<SentPacket> sent() const;
  std::vector<PacketAddress> held() const;
  std::vector<PacketAddress> discarded() const;
  std::vector<OpenCall> opens() const;
  std::vector<ShutdownHow> shutdowns() const;
  int closes() const;
  uint64_t sendCount() const { return sendCount_; }

  // Waits until every packet fed so far was taken and the engine is blocked
  // in the next receive, i.e. it has finished with all of them. False on
  // timeout.
  bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(5));
  // Waits until at least `count` sends were recorded. False on timeout.
  bool waitForSends(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));

  // The packet id carried in a packet made by feed().
  static uint32_t idOf(const std::vector<uint8_t>& data);

 private:
  friend class FakePacketDriver;
  FakeNetwork() = default;

  struct Incoming {
    std::vector<uint8_t> bytes;
    PacketAddress address;
    DriverError error;  // set: this receive fails instead
  };

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Incoming> incoming_;
  std::vector<uint8_t> generated_;
  uint64_t generateLeft_ = 0;
  bool generateAlternate_ = false;
  uint64_t generatedCount_ = 0;
  bool waitingInReceive_ = false;
  bool receiveShut_ = false;
  bool closed_ = false;

  std::optional<DriverError> openError_;
  std::string rejectedFilter_;
  std::string rejectDetail_;
  DriverError sendError_;

  std::vector<SentPacket> sent_;
  std::vector<PacketAddress> held_;
  std::vector<PacketAddress> discarded_;
  std::vector<OpenCall> opens_;
  std::vector<ShutdownHow> shutdowns_;
  int closes_ = 0;
  std::atomic<uint64_t> sendCount_{0};
  std::atomic<bool> queueFull_{false};
  bool recordSends_ = true;
};

}  // namespace rivulo::test
