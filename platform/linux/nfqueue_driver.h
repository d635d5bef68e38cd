#pragma once
// The Linux packet driver.
//
// Effect pipeline: iptables/ip6tables rules in chains of our own send this
// network namespace's packets to an NFQUEUE queue that we read over our own
// netlink socket (libmnl + the nfq_nlmsg_* helpers). Verdicts given on the
// capture thread are batched, several per sendto.
//
// Holding a leaving packet in the kernel queue keeps its socket's memory
// charged and slows local TCP to a crawl, so a leaving packet that must wait
// is copied, dropped from the queue at once and later re-sent through a raw
// socket carrying our mark (which the rules skip). An arriving packet that
// must wait keeps its queue slot and gets its accept verdict on release.
//
// Passive monitor: an AF_PACKET socket sniffs copies; no rules.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/packet_driver.h"
#include "platform/linux/driver_filter.h"
#include "platform/linux/nfqueue_rules.h"

struct mnl_socket;
struct iovec;

namespace rivulo {

inline constexpr uint16_t kNfqueueNumber = 7311;
// Packets carrying this mark bit are our own re-sends and copies.
inline constexpr uint32_t kRivuloMark = 0x10000000;
// The kernel queue's length; fail-open lets overflow pass unconditioned.
inline constexpr uint32_t kKernelQueueLength = 65536;

// A file descriptor closed by its destructor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
  UniqueFd& operator=(UniqueFd&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1);
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

class NfqueueDriver final : public PacketDriver {
 public:
  NfqueueDriver();
  ~NfqueueDriver() override;

  DriverError open(const std::string& filter, DriverMode mode, const DriverParams& params) override;
  DriverError receive(uint8_t* buffer, size_t capacity, size_t& length, PacketAddress& address) override;
  DriverError send(const uint8_t* data, size_t length, const PacketAddress& address) override;
  void hold(PacketAddress& address) override;
  void discard(const PacketAddress& address) override;
  void shutdown(ShutdownHow how) override;
  void close() override;
  bool queueFull() const override;

  // Packets the kernel holds for us right now (taken, no verdict yet).
  int64_t heldInKernel() const { return heldInKernel_.load(); }

 private:
  struct MnlDeleter {
    void operator()(mnl_socket* s) const;
  };

  DriverError openQueue();
  DriverError openMonitor();
  DriverError receiveQueued(uint8_t* buffer, size_t capacity, size_t& length, PacketAddress& address);
  DriverError receiveSniffed(uint8_t* buffer, size_t capacity, size_t& length, PacketAddress& address);
  // Waits until the socket is readable; false after a receive shutdown.
  bool waitReadable(int fd, int timeoutMs);
  DriverError configure(uint8_t command, bool withParams);
  // A verdict: batched on the capture thread, sent at once elsewhere.
  void verdict(uint32_t id, int verdict);
  void flushVerdicts();
  DriverError rawSend(const uint8_t* data, size_t length, const PacketAddress& address);
  DriverError rawSendPieces(const iovec* pieces, size_t count, const PacketAddress& address);
  size_t interfaceMtu(uint32_t ifindex);
  void drainInFlight(int graceMs);

  DriverMode mode_ = DriverMode::EffectPipeline;
  DriverFilter filter_;
  bool rulesSelectExactly_ = false;
  unsigned loIndex_ = 0;

  std::unique_ptr<mnl_socket, MnlDeleter> nl_;
  uint32_t portId_ = 0;
  UniqueFd wake_;      // eventfd: a receive shutdown wakes the blocked poll
  UniqueFd raw4_, raw6_;
  UniqueFd packetSocket_;  // passive monitor
  std::mutex mtuMutex_;
  std::vector<std::pair<uint32_t, size_t>> mtus_;
  InstalledRules rules_;

  // Receive state (capture thread only).
  std::vector<char> recvBuffer_;
  size_t recvLength_ = 0;
  size_t recvOffset_ = 0;
  uint32_t maxIdSeen_ = 0;

  std::mutex verdictMutex_;
  std::vector<char> batch_;
  size_t batchLength_ = 0;
  int batchCount_ = 0;
  std::atomic<std::thread::id> receiver_{};

  std::atomic<int64_t> heldInKernel_{0};
  std::atomic<bool> receiveShut_{false};
  std::atomic<bool> sendShut_{false};
  bool opened_ = false;
};

PacketDriverFactory makeNfqueueDriverFactory();

}  // namespace rivulo
