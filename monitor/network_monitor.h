#pragma once
// Helpers of the network monitor that stand on their own: the bounded value
// histories the graphs draw, and the pacing of the worker's one-second tick.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace rivulo {

// Every history keeps the last minute and a half at one sample per second.
constexpr size_t kMonitorHistoryLimit = 90;

// Appends `value`; drops the oldest entries so that at most `maxSize` remain.
void pushHistory(std::vector<float>& history, float value, size_t maxSize);

// `text` without spaces, tabs, CRs and LFs at either end.
std::string trimTargetText(const std::string& text);

// When a tick has run so late that `now` is more than two seconds past the
// planned `nextTick`, the schedule restarts from `now` instead of firing the
// missed ticks back to back.
std::chrono::steady_clock::time_point catchUpTick(std::chrono::steady_clock::time_point nextTick,
                                                  std::chrono::steady_clock::time_point now);

}  // namespace rivulo
