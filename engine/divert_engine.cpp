#include "engine/divert_engine.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

namespace rivulo {
namespace {

using Clock = std::chrono::steady_clock;

const char* const kDriverMissing = "NFQUEUE support or iptables was not found on this system.";

}  // namespace

DivertEngine::DivertEngine(PacketDriverFactory drivers) : drivers_(std::move(drivers)) {}

DivertEngine::~DivertEngine() { stop(); }

std::string DivertEngine::errorText(const DriverError& error) {
  switch (error.kind) {
    case DriverErrorKind::NotFound:
      return kDriverMissing;
    case DriverErrorKind::AccessDenied:
      return "Access denied. Run Rivulo as root or give it CAP_NET_ADMIN.";
    case DriverErrorKind::FilterRejected:
      return "Packet filter rejected: " + error.detail;
    case DriverErrorKind::Other:
      return "NFQUEUE error " + std::to_string(error.code) + " (" + std::strerror(static_cast<int>(error.code)) +
             ")";
    case DriverErrorKind::None:
    case DriverErrorKind::NoData:
    case DriverErrorKind::Aborted:
      break;
  }
  return errorText(error.code);
}

std::string DivertEngine::errorText(uint32_t code) {
  switch (code) {
    case 2:
    case 3:
      return "NFQUEUE driver/library was not found next to rivulo.";
    case 5:
      return "Access denied. Run Rivulo as Administrator.";
    case 87:
      return "NFQUEUE rejected the packet filter.";
    default:
      return "NFQUEUE error " + std::to_string(code);
  }
}

bool DivertEngine::start(const std::string& filter, EngineMode mode) {
  stop();
  resetCounters();
  throttle_.reset();
  burst_.reset();
  nthDrop_.reset();
  stopRequested_ = false;
  const std::string normalizedFilter = filter.empty() ? "true" : filter;

  std::unique_ptr<PacketDriver> driver = drivers_ ? drivers_() : nullptr;
  if (!driver) {
    setLastError(kDriverMissing);
    return false;
  }
  DriverMode driverMode = mode == EngineMode::PassiveMonitor ? DriverMode::PassiveMonitor : DriverMode::EffectPipeline;
  // The driver's own queue is deep enough to ride out bursts while the
  // capture thread is busy.
  if (DriverError error = driver->open(normalizedFilter, driverMode, DriverParams{8192, 2048})) {
    setLastError(errorText(error));
    return false;
  }
  {
    std::lock_guard lock(stateMutex_);
    driver_ = std::move(driver);
    filter_ = normalizedFilter;
    handleOpen_ = true;
    lastError_.clear();
  }
  mode_ = static_cast<int32_t>(mode);
  running_ = true;
  try {
    if (mode == EngineMode::EffectPipeline) releaseThread_ = std::thread(&DivertEngine::releaseLoop, this);
    captureThread_ = std::thread(&DivertEngine::captureLoop, this);
  } catch (const std::system_error& e) {
    // Without its threads the engine cannot run: undo the start and say why.
    stop();
    setLastError(std::string("Could not start the packet engine threads: ") + e.what());
    return false;
  }
  return true;
}

void DivertEngine::stop() {
  stopRequested_ = true;
  const int32_t stoppedMode = mode_;
  PacketDriver* driver = currentDriver();
  if (driver != nullptr) {
    driver->shutdown(stoppedMode == static_cast<int32_t>(EngineMode::EffectPipeline) ? ShutdownHow::Receive
                                                                                     : ShutdownHow::Both);
  }
  requestStop();
  if (captureThread_.joinable()) captureThread_.join();
  if (releaseThread_.joinable()) releaseThread_.join();

  // The release loop may have seen an empty queue a moment before the
  // capture thread queued its last packet; that packet is sent here rather
  // than lost.
  std::vector<PendingPacket> leftovers;
  {
    std::lock_guard lock(queueMutex_);
    leftovers.swap(releaseQueue_);
  }
  if (driver != nullptr) {
    std::sort(leftovers.begin(), leftovers.end(),
              [](const PendingPacket& a, const PendingPacket& b) { return PendingPacketOrder{}(b, a); });
    for (const PendingPacket& pending : leftovers) {
      if (!pending.data.empty()) send(pending.data.data(), pending.data.size(), pending.address);
    }
    driver->close();
  }

  running_ = false;
  mode_ = 0;
  std::unique_ptr<PacketDriver> closed;
  {
    std::lock_guard lock(stateMutex_);
    closed = std::move(driver_);
    handleOpen_ = false;
  }
}

void DivertEngine::requestStop() {
  stopRequested_ = true;
  { std::lock_guard lock(queueMutex_); }
  queueCondition_.notify_all();
}

void DivertEngine::captureLoop() {
  // One buffer for the whole run; only delayed packets are copied out of it.
  std::vector<uint8_t> buffer(kBufferSize, 0);
  const bool passive = mode_ == static_cast<int32_t>(EngineMode::PassiveMonitor);
  for (;;) {
    if (stopRequested_) break;
    PacketAddress address{};
    size_t packetLength = 0;
    PacketDriver* driver = currentDriver();
    if (driver == nullptr) break;
    if (DriverError error = driver->receive(buffer.data(), buffer.size(), packetLength, address)) {
      if (stopRequested_) break;
      if (error.kind == DriverErrorKind::NoData || error.kind == DriverErrorKind::Aborted) break;
      setLastError(errorText(error));
      break;
    }
    packetLength = std::min(packetLength, buffer.size());

    const int direction = address.outbound ? 1 : 0;
    if (direction == 1) {
      capturedOut_.fetch_add(1);
      capturedOutBytes_.fetch_add(packetLength);
    } else {
      capturedIn_.fetch_add(1);
      capturedInBytes_.fetch_add(packetLength);
    }
    // A sniffed copy: the packet itself has already passed.
    if (passive) continue;

    if (stopRequested_) {
      send(buffer.data(), packetLength, address);
      break;
    }

    const EffectConfig config = copyConfig(direction);
    if (config.block) {
      blockedActivity_.fetch_add(1);
      dropped_.fetch_add(1);
      driver->discard(address);
      continue;
    }
    bool drop = drop_.shouldDrop(config);
    if (!drop) drop = nthDrop_.shouldDrop(direction, config);
    if (drop) {
      dropActivity_.fetch_add(1);
      dropped_.fetch_add(1);
      driver->discard(address);
      continue;
    }

    const SteadyTime now = Clock::now();
    const uint32_t hold = hold_.delay(config);
    const uint32_t latency = latency_.delay(config);
    const uint32_t jitter = jitter_.delay(config);
    const uint32_t burst = burst_.delay(direction, config, now);
    const uint32_t throttle = throttle_.delay(direction, packetLength, config, now);
    if (latency > 0) latencyActivity_.fetch_add(1);
    if (jitter > 0) jitterActivity_.fetch_add(1);
    if (throttle > 0) throttleActivity_.fetch_add(1);
    const uint32_t delayMs = combinedDelayMs(hold, latency, jitter, burst, throttle);
    const bool duplicate = duplicate_.shouldDuplicate(config);

    if (delayMs == 0) {
      send(buffer.data(), packetLength, address);
      if (duplicate) {
        PacketAddress copyAddress = address;
        copyAddress.copy = true;
        send(buffer.data(), packetLength, copyAddress);
        duplicated_.fetch_add(1);
      }
      continue;
    }

    driver->hold(address);
    const SteadyTime releaseAt = now + std::chrono::milliseconds(delayMs);
    std::vector<uint8_t> packet(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(packetLength));
    if (duplicate) {
      // Queued first, so it has the smaller sequence and leaves first.
      PacketAddress copyAddress = address;
      copyAddress.copy = true;
      enqueue(packet, copyAddress, releaseAt);
      duplicated_.fetch_add(1);
    }
    enqueue(std::move(packet), address, releaseAt);
    delayed_.fetch_add(1);
  }
  requestStop();
}

void DivertEngine::releaseLoop() {
  for (;;) {
    std::unique_lock lock(queueMutex_);
    while (releaseQueue_.empty() && !stopRequested_) queueCondition_.wait(lock);
    if (releaseQueue_.empty()) break;
    if (!stopRequested_) {
      // Sleep until the earliest packet is due; a newly queued earlier packet
      // or a stop wakes the loop sooner.
      const SteadyTime due = releaseQueue_.front().releaseAt;
      if (due > Clock::now()) {
        queueCondition_.wait_until(lock, due);
        continue;
      }
    }
    std::pop_heap(releaseQueue_.begin(), releaseQueue_.end(), PendingPacketOrder{});
    PendingPacket pending = std::move(releaseQueue_.back());
    releaseQueue_.pop_back();
    lock.unlock();
    if (!pending.data.empty()) send(pending.data.data(), pending.data.size(), pending.address);
  }
}

void DivertEngine::enqueue(std::vector<uint8_t> data, const PacketAddress& address, SteadyTime releaseAt) {
  PendingPacket pending;
  pending.releaseAt = releaseAt;
  pending.sequence = nextSequence_.fetch_add(1) + 1;
  pending.data = std::move(data);
  pending.address = address;
  const uint64_t sequence = pending.sequence;
  bool earliest = false;
  {
    std::lock_guard lock(queueMutex_);
    releaseQueue_.push_back(std::move(pending));
    std::push_heap(releaseQueue_.begin(), releaseQueue_.end(), PendingPacketOrder{});
    earliest = releaseQueue_.front().sequence == sequence;
  }
  // The release loop sleeps until the earliest packet is due; only a packet
  // that is now the earliest changes that deadline. Waking it for every
  // packet would cost a system call per packet under load.
  if (earliest) queueCondition_.notify_one();
}

bool DivertEngine::send(const uint8_t* data, size_t length, const PacketAddress& address) {
  PacketDriver* driver = currentDriver();
  if (driver == nullptr) return false;
  if (DriverError error = driver->send(data, length, address)) {
    // A failed packet is lost; during a stop that is expected and not reported.
    if (!stopRequested_) setLastError(errorText(error));
    return false;
  }
  reinjected_.fetch_add(1);
  return true;
}

PacketDriver* DivertEngine::currentDriver() const {
  std::lock_guard lock(stateMutex_);
  return driver_.get();
}

EffectConfig DivertEngine::copyConfig(int direction) const {
  std::lock_guard lock(configMutex_);
  return direction == 0 ? effects_.inbound : effects_.outbound;
}

void DivertEngine::setLastError(const std::string& text) {
  std::lock_guard lock(stateMutex_);
  lastError_ = text;
}

void DivertEngine::applyEffects(const ActiveEffects& effects) {
  bool throttleChanged = false;
  bool burstChanged = false;
  bool nthChanged = false;
  {
    std::lock_guard lock(configMutex_);
    throttleChanged = effects.inbound.throttleBytesPerSecond != effects_.inbound.throttleBytesPerSecond ||
                      effects.outbound.throttleBytesPerSecond != effects_.outbound.throttleBytesPerSecond;
    burstChanged = effects.inbound.burstMs != effects_.inbound.burstMs ||
                   effects.outbound.burstMs != effects_.outbound.burstMs;
    nthChanged = effects.inbound.everyN != effects_.inbound.everyN ||
                 effects.outbound.everyN != effects_.outbound.everyN;
    effects_ = effects;
  }
  if (throttleChanged) throttle_.reset();
  if (burstChanged) burst_.reset();
  if (nthChanged) nthDrop_.reset();
}

ActiveEffects DivertEngine::currentEffects() const {
  std::lock_guard lock(configMutex_);
  return effects_;
}

void DivertEngine::resetCounters() {
  for (std::atomic<uint64_t>* counter :
       {&capturedIn_, &capturedOut_, &capturedInBytes_, &capturedOutBytes_, &delayed_, &dropped_, &reinjected_,
        &duplicated_, &latencyActivity_, &dropActivity_, &throttleActivity_, &jitterActivity_, &blockedActivity_}) {
    counter->store(0);
  }
}

DivertStats DivertEngine::stats() const {
  DivertStats s;
  s.running = running_;
  s.mode = mode_;
  s.capturedIn = capturedIn_;
  s.capturedOut = capturedOut_;
  s.capturedInBytes = capturedInBytes_;
  s.capturedOutBytes = capturedOutBytes_;
  s.delayed = delayed_;
  s.dropped = dropped_;
  s.reinjected = reinjected_;
  s.duplicated = duplicated_;
  s.latencyActivity = latencyActivity_;
  s.dropActivity = dropActivity_;
  s.throttleActivity = throttleActivity_;
  s.jitterActivity = jitterActivity_;
  s.blockedActivity = blockedActivity_;
  {
    std::lock_guard lock(queueMutex_);
    s.heldQueue = releaseQueue_.size();
  }
  std::lock_guard lock(stateMutex_);
  s.handleOpen = handleOpen_;
  s.filter = filter_;
  s.lastError = lastError_;
  s.queueFull = driver_ != nullptr && driver_->queueFull();
  return s;
}

bool DivertEngine::isPipelineActive() const { return running_ && mode_ == static_cast<int32_t>(EngineMode::EffectPipeline); }

}  // namespace rivulo
