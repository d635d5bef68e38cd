#include "engine/effect_modules.h"

#include <algorithm>
#include <cmath>

namespace rivulo {
namespace {

using Clock = std::chrono::steady_clock;

bool isUnset(SteadyTime t) { return t.time_since_epoch().count() == 0; }

// Direction indices come from the engine (0 inbound, 1 outbound); anything
// else is folded onto a valid slot rather than read past the array.
size_t slotOf(int direction) { return direction == 0 ? 0 : 1; }

// A wait in whole milliseconds, rounded up so a packet never leaves early.
uint32_t ceilMs(Clock::duration wait) {
  if (wait <= Clock::duration::zero()) return 0;
  double ms = std::ceil(std::chrono::duration<double, std::milli>(wait).count());
  return static_cast<uint32_t>(std::clamp(ms, 0.0, static_cast<double>(kMaxDelayMs)));
}

// The percent rule shared by drop and duplicate: the certain cases draw no
// random number, so they leave the generator's sequence untouched.
bool decide(double percent, std::mt19937& random) {
  double p = std::clamp(percent, 0.0, 100.0);
  if (p <= 0.0) return false;
  if (p >= 100.0) return true;
  std::uniform_real_distribution<double> draw(0.0, 100.0);
  return draw(random) < p;
}

uint32_t deviceSeed() { return std::random_device{}(); }

}  // namespace

uint32_t combinedDelayMs(uint32_t hold, uint32_t latency, uint32_t jitter, uint32_t burst, uint32_t throttle) {
  uint64_t sum = uint64_t{hold} + latency + jitter + burst + throttle;
  return static_cast<uint32_t>(std::min<uint64_t>(sum, kMaxDelayMs));
}

JitterModule::JitterModule() : random_(deviceSeed()) {}
DropModule::DropModule() : random_(deviceSeed()) {}
DuplicateModule::DuplicateModule() : random_(deviceSeed()) {}

uint32_t JitterModule::delay(const EffectConfig& config) {
  if (config.jitterMs == 0) return 0;
  std::uniform_int_distribution<uint32_t> draw(0, config.jitterMs);
  return draw(random_);
}

bool DropModule::shouldDrop(const EffectConfig& config) { return decide(config.dropPercent, random_); }

bool DuplicateModule::shouldDuplicate(const EffectConfig& config) {
  return decide(config.duplicatePercent, random_);
}

uint32_t ThrottleModule::delay(int direction, uint64_t packetLength, const EffectConfig& config, SteadyTime now) {
  if (config.throttleBytesPerSecond == 0 || packetLength == 0) return 0;
  std::lock_guard lock(mutex_);
  SteadyTime& slot = nextFree_[slotOf(direction)];
  if (isUnset(slot) || slot < now) slot = now;
  double seconds = static_cast<double>(packetLength) / static_cast<double>(config.throttleBytesPerSecond);
  slot += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  return ceilMs(slot > now ? slot - now : Clock::duration::zero());
}

void ThrottleModule::reset() {
  std::lock_guard lock(mutex_);
  nextFree_ = {};
}

uint32_t BurstModule::delay(int direction, const EffectConfig& config, SteadyTime now) {
  if (config.burstMs == 0) return 0;
  std::lock_guard lock(mutex_);
  SteadyTime& slot = windowEnd_[slotOf(direction)];
  if (isUnset(slot) || now >= slot) slot = now + std::chrono::milliseconds(config.burstMs);
  return ceilMs(slot > now ? slot - now : Clock::duration::zero());
}

void BurstModule::reset() {
  std::lock_guard lock(mutex_);
  windowEnd_ = {};
}

bool NthDropModule::shouldDrop(int direction, const EffectConfig& config) {
  if (config.everyN < 2) return false;
  std::lock_guard lock(mutex_);
  uint64_t count = ++counters_[slotOf(direction)];
  return count % config.everyN == 0;
}

void NthDropModule::reset() {
  std::lock_guard lock(mutex_);
  counters_ = {};
}

}  // namespace rivulo
