#include "tests/support/fake_packet_driver.h"

#include <algorithm>
#include <cstring>

namespace rivulo::test {

// One open capture over the shared FakeNetwork. Its shutdown and close state
// lives in the network, since a new driver object is made per engine start
// and a test looks at them afterwards.
class FakePacketDriver final : public PacketDriver {
 public:
  explicit FakePacketDriver(std::shared_ptr<FakeNetwork> net) : net_(std::move(net)) {}

  DriverError open(const std::string& filter, DriverMode mode, const DriverParams& params) override {
    std::lock_guard lock(net_->mutex_);
    net_->opens_.push_back({filter, mode, params});
    if (net_->openError_) return *net_->openError_;
    if (!net_->rejectedFilter_.empty() && filter == net_->rejectedFilter_) {
      return {DriverErrorKind::FilterRejected, 0, net_->rejectDetail_};
    }
    net_->receiveShut_ = false;
    net_->closed_ = false;
    return {};
  }

  DriverError receive(uint8_t* buffer, size_t capacity, size_t& length, PacketAddress& address) override {
    std::unique_lock lock(net_->mutex_);
    if (net_->generateLeft_ > 0 && !net_->receiveShut_ && !net_->closed_) {
      --net_->generateLeft_;
      length = std::min(capacity, net_->generated_.size());
      std::memcpy(buffer, net_->generated_.data(), length);
      address = {};
      address.outbound = net_->generateAlternate_ && (net_->generatedCount_ & 1) != 0;
      address.packetId = static_cast<uint32_t>(++net_->generatedCount_);
      return {};
    }
    net_->waitingInReceive_ = true;
    net_->changed_.notify_all();
    net_->changed_.wait(lock, [&] { return !net_->incoming_.empty() || net_->receiveShut_ || net_->closed_; });
    net_->waitingInReceive_ = false;
    if (net_->closed_) return {DriverErrorKind::Aborted, 0, {}};
    if (net_->receiveShut_) return {DriverErrorKind::NoData, 0, {}};
    FakeNetwork::Incoming next = std::move(net_->incoming_.front());
    net_->incoming_.pop_front();
    net_->changed_.notify_all();
    if (next.error) return next.error;
    length = std::min(capacity, next.bytes.size());
    std::memcpy(buffer, next.bytes.data(), length);
    address = next.address;
    return {};
  }

  DriverError send(const uint8_t* data, size_t length, const PacketAddress& address) override {
    std::lock_guard lock(net_->mutex_);
    if (net_->sendError_) return net_->sendError_;
    net_->sendCount_.fetch_add(1);
    if (net_->recordSends_) {
      net_->sent_.push_back({std::vector<uint8_t>(data, data + length), address, std::chrono::steady_clock::now()});
      net_->changed_.notify_all();
    }
    return {};
  }

  void hold(PacketAddress& address) override {
    std::lock_guard lock(net_->mutex_);
    address.driverData += FakeNetwork::kHeldTag;
    net_->held_.push_back(address);
  }

  void discard(const PacketAddress& address) override {
    std::lock_guard lock(net_->mutex_);
    net_->discarded_.push_back(address);
  }

  void shutdown(ShutdownHow how) override {
    std::lock_guard lock(net_->mutex_);
    net_->shutdowns_.push_back(how);
    net_->receiveShut_ = true;
    net_->changed_.notify_all();
  }

  void close() override {
    std::lock_guard lock(net_->mutex_);
    ++net_->closes_;
    net_->closed_ = true;
    net_->changed_.notify_all();
  }

  bool queueFull() const override { return net_->queueFull_; }

 private:
  std::shared_ptr<FakeNetwork> net_;
};

PacketDriverFactory FakeNetwork::factory() {
  std::shared_ptr<FakeNetwork> self = shared_from_this();
  return [self]() -> std::unique_ptr<PacketDriver> { return std::make_unique<FakePacketDriver>(self); };
}

void FakeNetwork::feed(uint32_t id, bool outbound, size_t length) {
  std::vector<uint8_t> bytes(std::max<size_t>(length, 4), 0);
  std::memcpy(bytes.data(), &id, 4);
  PacketAddress address;
  address.outbound = outbound;
  address.packetId = id;
  feedBytes(std::move(bytes), address);
}

void FakeNetwork::feedBytes(std::vector<uint8_t> bytes, PacketAddress address) {
  std::lock_guard lock(mutex_);
  incoming_.push_back({std::move(bytes), address, {}});
  changed_.notify_all();
}

void FakeNetwork::feedError(DriverError error) {
  std::lock_guard lock(mutex_);
  incoming_.push_back({{}, {}, std::move(error)});
  changed_.notify_all();
}

void FakeNetwork::generate(std::vector<uint8_t> packet, uint64_t count, bool alternateDirections) {
  std::lock_guard lock(mutex_);
  generated_ = std::move(packet);
  generateLeft_ = count;
  generateAlternate_ = alternateDirections;
  generatedCount_ = 0;
  recordSends_ = false;
}

void FakeNetwork::failOpen(DriverError error) {
  std::lock_guard lock(mutex_);
  if (error) {
    openError_ = std::move(error);
  } else {
    openError_.reset();
  }
}

void FakeNetwork::rejectFilter(const std::string& filter, const std::string& detail) {
  std::lock_guard lock(mutex_);
  rejectedFilter_ = filter;
  rejectDetail_ = detail;
}

void FakeNetwork::failSends(DriverError error) {
  std::lock_guard lock(mutex_);
  sendError_ = std::move(error);
}

std::vector<SentPacket> FakeNetwork::sent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}

std::vector<PacketAddress> FakeNetwork::held() const {
  std::lock_guard lock(mutex_);
  return held_;
}

std::vector<PacketAddress> FakeNetwork::discarded() const {
  std::lock_guard lock(mutex_);
  return discarded_;
}

std::vector<OpenCall> FakeNetwork::opens() const {
  std::lock_guard lock(mutex_);
  return opens_;
}

std::vector<ShutdownHow> FakeNetwork::shutdowns() const {
  std::lock_guard lock(mutex_);
  return shutdowns_;
}

int FakeNetwork::closes() const {
  std::lock_guard lock(mutex_);
  return closes_;
}

bool FakeNetwork::waitIdle(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout,
                           [&] { return incoming_.empty() && generateLeft_ == 0 && waitingInReceive_; });
}

bool FakeNetwork::waitForSends(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return sendCount_ >= count; });
}

uint32_t FakeNetwork::idOf(const std::vector<uint8_t>& data) {
  uint32_t id = 0;
  if (data.size() >= 4) std::memcpy(&id, data.data(), 4);
  return id;
}

}  // namespace rivulo::test
