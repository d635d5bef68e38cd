// The network monitor: the worker that pings and reads interface counters,
// and the UI side that turns its samples into totals, rates and histories.
#include "monitor/network_monitor.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "app/editor.h"

namespace rivulo {

using SteadyClock = std::chrono::steady_clock;

void pushHistory(std::vector<float>& history, float value, size_t maxSize) {
  history.push_back(value);
  if (history.size() > maxSize) history.erase(history.begin(), history.end() - static_cast<std::ptrdiff_t>(maxSize));
}

std::string trimTargetText(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

SteadyClock::time_point catchUpTick(SteadyClock::time_point nextTick, SteadyClock::time_point now) {
  return now > nextTick + std::chrono::seconds(2) ? now : nextTick;
}

void Editor::pollSample() {
  MonitorSample sample;
  {
    std::lock_guard<std::mutex> lock(monitorMutex);
    if (sharedSample.sequence == 0 || sharedSample.sequence == lastSeenSequence) return;
    sample = sharedSample;
    lastSeenSequence = sample.sequence;
  }

  pingOnline = sample.online;
  pingMs = sample.pingMs;
  resolvedAddress = sample.address;
  statusMessage = sample.message;
  pushHistory(pingHistory, sample.online ? sample.pingMs : -1.0f, kMonitorHistoryLimit);

  // An unreadable interface table leaves totals and rates as they were.
  if (!sample.interfaceOk) return;

  if (!countersInitialised) {
    countersInitialised = true;
    baseIn = lastIn = sample.inPackets;
    baseOut = lastOut = sample.outPackets;
    totalIn = totalOut = 0;
    rateIn = rateOut = 0.0f;
  } else {
    // A counter that went backwards (an interface went away) reads as no
    // traffic rather than as a wrapped, enormous difference.
    rateIn = sample.inPackets >= lastIn ? static_cast<float>(sample.inPackets - lastIn) : 0.0f;
    rateOut = sample.outPackets >= lastOut ? static_cast<float>(sample.outPackets - lastOut) : 0.0f;
    totalIn = sample.inPackets >= baseIn ? sample.inPackets - baseIn : 0;
    totalOut = sample.outPackets >= baseOut ? sample.outPackets - baseOut : 0;
    lastIn = sample.inPackets;
    lastOut = sample.outPackets;
  }
  pushHistory(inRateHistory, rateIn, kMonitorHistoryLimit);
  pushHistory(outRateHistory, rateOut, kMonitorHistoryLimit);
  pushHistory(inTotalHistory, static_cast<float>(totalIn), kMonitorHistoryLimit);
  pushHistory(outTotalHistory, static_cast<float>(totalOut), kMonitorHistoryLimit);
}

void Editor::applyTarget() {
  const std::string trimmed = trimTargetText(std::string(targetInput, strnlen(targetInput, sizeof(targetInput))));
  if (trimmed.empty()) {
    addLog("Ping target cannot be empty.");
    return;
  }
  std::memset(targetInput, 0, sizeof(targetInput));
  std::memcpy(targetInput, trimmed.data(), std::min(trimmed.size(), sizeof(targetInput) - 1));
  {
    std::lock_guard<std::mutex> lock(monitorMutex);
    pingTarget = trimmed;
  }
  pingOnline = false;
  pingMs = -1.0f;
  resolvedAddress.clear();
  statusMessage = "Waiting for reply...";
  pingHistory.clear();
  addLog("Ping target changed to " + trimmed + ".");
}

void Editor::resetStatistics() {
  countersInitialised = false;
  totalIn = totalOut = 0;
  rateIn = rateOut = 0.0f;
  pingHistory.clear();
  inRateHistory.clear();
  outRateHistory.clear();
  inTotalHistory.clear();
  outTotalHistory.clear();
  addLog("Network statistics reset.");
}

void Editor::monitorWorker() {
  std::unique_ptr<MonitorProbe> probe = services.monitorProbes ? services.monitorProbes() : nullptr;
  if (!probe) return;

  // The resolution of one target text, kept until the text changes: a name
  // that failed once is not asked for again every second.
  std::string cachedTarget;
  ResolveResult cached;
  std::string cachedResolveError;

  SteadyClock::time_point nextTick = SteadyClock::now();
  while (!monitorStopRequested.load()) {
    std::string target;
    {
      std::lock_guard<std::mutex> lock(monitorMutex);
      target = pingTarget;
    }
    MonitorSample sample;

    if (target != cachedTarget) {
      cachedTarget = target;
      cachedResolveError.clear();
      cached = probe->resolve(target);
      if (!cached.ok) cachedResolveError = "Could not resolve target";
    }

    if (cached.ok) {
      if (!probe->icmpAvailable()) {
        sample.message = "ICMP is unavailable";
      } else {
        sample.address = cached.dotted;
        const uint32_t timeoutMs = pingTimeoutMs.load();
        PingResult reply = probe->ping(cached.address, timeoutMs, monitorStopRequested);
        sample.online = reply.online;
        sample.pingMs = reply.online ? reply.pingMs : -1.0f;
        sample.message = reply.online ? std::string() : reply.message;
      }
    } else {
      sample.message = cachedResolveError.empty() ? "Could not resolve target" : cachedResolveError;
    }
    // A ping cut short by closing is no result worth publishing.
    if (monitorStopRequested.load()) break;

    const InterfaceCounters counters = probe->readCounters();
    sample.interfaceOk = counters.ok;
    if (counters.ok) {
      sample.inPackets = counters.inPackets;
      sample.outPackets = counters.outPackets;
    }

    {
      std::lock_guard<std::mutex> lock(monitorMutex);
      sample.sequence = sharedSample.sequence + 1;
      sharedSample = std::move(sample);
    }

    nextTick += std::chrono::seconds(1);
    // Nap in short slices so that a stop request is noticed within 50 ms.
    for (SteadyClock::time_point now = SteadyClock::now(); !monitorStopRequested.load() && now < nextTick;
         now = SteadyClock::now()) {
      std::this_thread::sleep_for(std::min<SteadyClock::duration>(nextTick - now, std::chrono::milliseconds(50)));
    }
    nextTick = catchUpTick(nextTick, SteadyClock::now());
  }
}

}  // namespace rivulo
