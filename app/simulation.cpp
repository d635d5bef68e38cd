// Simulation control: Start and Stop of the effect pipeline, and its timer.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/editor.h"

namespace rivulo {

bool Editor::startSimulation() {
  if (simulationActive) return true;
  engine.applyEffects(resolveEffects());
  const std::string filter = composeFilter();
  if (!engine.startPipeline(filter)) {
    addLog("Could not start active simulation: " + engine.stats().lastError);
    return false;
  }
  simulationActive = true;
  simulationStartTime = guiTime();
  simulationElapsed = 0.0;
  syncEffects();
  addLog("ACTIVE simulation started. Timer reset to 00:00:00.");
  return true;
}

void Editor::stopSimulation() {
  if (simulationActive) simulationElapsed = std::max(0.0, guiTime() - simulationStartTime);
  engine.stop();
  simulationActive = false;
  pingTimeoutMs = 1500;
  addLog("Simulation stopped. Timer paused and held packets were flushed.");
}

void Editor::toggleSimulation() {
  if (simulationActive) {
    stopSimulation();
  } else {
    startSimulation();
  }
}

double Editor::shownSimulationTime() const {
  if (simulationActive) return std::max(0.0, guiTime() - simulationStartTime);
  return simulationElapsed;
}

void formatSimulationTime(double seconds, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return;
  double whole = std::max(0.0, std::floor(seconds));
  // A time beyond what 64 bits of seconds hold (or infinity) would make the
  // conversion undefined; it shows as the largest count instead.
  constexpr double kLimit = 18446744073709549568.0;  // largest double below 2^64
  auto s = whole < kLimit ? static_cast<unsigned long long>(whole) : 18446744073709549568ull;
  std::snprintf(buffer, size, "%02llu:%02llu:%02llu", s / 3600, (s / 60) % 60, s % 60);
}

}  // namespace rivulo
