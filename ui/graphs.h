#pragma once
// The line-graph plotter of the NETWORK panel and the arithmetic behind it
// and behind the MODULE ACTIVITY bars.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/effect_config.h"

namespace rivulo {

// Lowest and highest valid entry (>= 0 and finite) of one or two series;
// 0 and 1 when there is none.
struct DataRange {
  float min = 0.0f;
  float max = 1.0f;
};
DataRange seriesRange(const std::vector<float>& seriesA, const std::vector<float>* seriesB);

// The vertical scale a graph draws with: the data range or the fixed ends,
// with 8 % headroom above (and below, when the bottom is automatic).
struct GraphScale {
  float min = 0.0f;
  float max = 1.0f;
};
GraphScale graphScale(DataRange data, float fixedMin, float fixedMax);

// Draws the title and a 92 px graph box of one or two series. seriesB, labelA
// and labelB may be null; fixedMin < 0 and fixedMax <= bottom mean automatic.
void drawGraph(const char* id, const char* title, const std::vector<float>& seriesA, uint32_t colourA,
               const char* labelA, const std::vector<float>* seriesB, uint32_t colourB, const char* labelB,
               float fixedMin, float fixedMax, bool darkTheme);

// The module-activity view: LATENCY, DROP, THROTTLE, JITTER, BLOCKED.
constexpr int kActivityModules = 5;

// A "nice" full scale (100, 250, 500, 1000, 2500 ...) with room for `peak`.
float activityTargetScale(float peak);
// The next full scale: up to the target at once, down by 6 % per sample.
float nextActivityScale(float current, float target);
// Which of the five modules the resolved graph arms while the simulation runs.
std::array<bool, kActivityModules> armedModules(bool running, const ActiveEffects& effects);

}  // namespace rivulo
