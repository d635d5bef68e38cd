// Line graphs of the NETWORK panel and the MODULE ACTIVITY view.
#include "ui/graphs.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "app/editor.h"
#include "ui/draw_kit.h"

namespace rivulo {

namespace {

bool validEntry(float value) { return value >= 0.0f && std::isfinite(value); }

// Where and at what scale the series of one graph are drawn.
struct PlotArea {
  ImDrawList* drawList;
  ImVec2 min;
  ImVec2 max;
  GraphScale scale;
  bool dark;
};

void drawSeries(const PlotArea& plot, const std::vector<float>& series, uint32_t colour, bool second) {
  const size_t n = series.size();
  if (n < 2) return;
  ImDrawList* drawList = plot.drawList;
  const float range = plot.scale.max - plot.scale.min;
  bool havePrevious = false;
  ImVec2 previous;
  for (size_t i = 0; i < n; ++i) {
    const float value = series[i];
    if (!validEntry(value)) {
      havePrevious = false;  // a gap: the next valid point starts a new piece
      continue;
    }
    const float t = static_cast<float>(i) / static_cast<float>(n - 1);
    const float u = std::clamp((value - plot.scale.min) / range, 0.0f, 1.0f);
    const ImVec2 point(plot.min.x + (plot.max.x - plot.min.x) * t, plot.max.y - (plot.max.y - plot.min.y) * u);
    if (havePrevious) {
      if (plot.dark) {
        drawList->AddQuadFilled(previous, point, ImVec2(point.x, plot.max.y), ImVec2(previous.x, plot.max.y),
                                withAlpha(colour, second ? 0.016f : 0.03f));
        drawList->AddLine(previous, point, withAlpha(colour, 0.055f), 13.0f);
        drawList->AddLine(previous, point, withAlpha(colour, 0.14f), 7.0f);
        // A light underlay keeps the near-black OUT series visible on the dark box.
        if (second) drawList->AddLine(previous, point, rgba(0.72f, 0.72f, 0.70f, 0.3f), 4.0f);
      }
      drawList->AddLine(previous, point, colour, 2.1f);
    }
    previous = point;
    havePrevious = true;
  }
  if (plot.dark && validEntry(series.back())) {
    radialGlow(drawList, previous, 14.0f, colour, 5);
    drawList->AddCircleFilled(previous, 2.6f, colour, 14);
    drawList->AddCircleFilled(previous, 1.0f, rgba(0.96f, 0.99f, 1.0f, 1.0f), 10);
  }
}

}  // namespace

DataRange seriesRange(const std::vector<float>& seriesA, const std::vector<float>* seriesB) {
  float low = FLT_MAX;
  float high = -FLT_MAX;
  auto take = [&](const std::vector<float>& series) {
    for (float value : series) {
      if (!validEntry(value)) continue;
      low = std::min(low, value);
      high = std::max(high, value);
    }
  };
  take(seriesA);
  if (seriesB != nullptr) take(*seriesB);
  if (low == FLT_MAX) return {0.0f, 1.0f};
  return {low, high};
}

GraphScale graphScale(DataRange data, float fixedMin, float fixedMax) {
  GraphScale scale;
  scale.min = fixedMin >= 0.0f ? fixedMin : data.min;
  scale.max = fixedMax > scale.min ? fixedMax : data.max;
  if (scale.max <= scale.min + 0.001f) scale.max = scale.min + 1.0f;
  const float headroom = (scale.max - scale.min) * 0.08f;
  scale.max += headroom;
  if (fixedMin < 0.0f) scale.min = std::max(0.0f, scale.min - headroom);
  return scale;
}

void drawGraph(const char* id, const char* title, const std::vector<float>& seriesA, uint32_t colourA,
               const char* labelA, const std::vector<float>* seriesB, uint32_t colourB, const char* labelB,
               float fixedMin, float fixedMax, bool dark) {
  ImGui::TextUnformatted(title);
  const ImVec2 size(std::max(120.0f, ImGui::GetContentRegionAvail().x), 92.0f);
  const ImVec2 min = ImGui::GetCursorScreenPos();
  const ImVec2 max(min.x + size.x, min.y + size.y);
  ImGui::InvisibleButton(id, size);
  ImDrawList* drawList = ImGui::GetWindowDrawList();

  const uint32_t background = dark ? rgba(0.02f, 0.04f, 0.07f, 1.0f) : rgba(0.955f, 0.978f, 1.0f, 1.0f);
  const uint32_t border = dark ? rgba(0.10f, 0.25f, 0.36f, 1.0f) : rgba(0.68f, 0.80f, 0.91f, 1.0f);
  const uint32_t grid = dark ? rgba(0.08f, 0.19f, 0.28f, 0.75f) : rgba(0.73f, 0.84f, 0.93f, 0.72f);
  const uint32_t magenta = rgba(0.96f, 0.12f, 0.68f, 1.0f);
  const ImVec2 innerMin(min.x + 1, min.y + 1);
  const ImVec2 innerMax(max.x - 1, max.y - 1);

  drawList->AddRectFilled(min, max, background, 9.0f);
  if (dark) {
    drawList->AddRectFilledMultiColor(innerMin, innerMax, withAlpha(colourA, 0.035f),
                                      rgba(0.96f, 0.12f, 0.68f, 0.018f), rgba(0.96f, 0.12f, 0.68f, 0.045f),
                                      withAlpha(colourA, 0.01f));
    glowFrame(drawList, min, max, colourA, 9.0f, 0.42f);
    runningLight(drawList, innerMin, innerMax, colourA, seriesB != nullptr ? colourB : magenta,
                 min.x * 0.31f + min.y * 0.07f, 82.0f, 82.0f);
  }
  drawList->AddRect(min, max, border, 9.0f, 0, 1.0f);

  glowLine(drawList, ImVec2(min.x + 8, min.y + 5), ImVec2(min.x + 42, min.y + 5), withAlpha(colourA, 0.8f), 1.0f,
           3.0f);
  drawList->AddLine(ImVec2(max.x - 38, max.y - 5), ImVec2(max.x - 8, max.y - 5),
                    seriesB != nullptr ? withAlpha(colourB, 0.65f) : withAlpha(colourA, 0.4f), 1.2f);

  for (int k = 1; k <= 3; ++k) {
    const float y = min.y + size.y * static_cast<float>(k) / 4.0f;
    drawList->AddLine(ImVec2(min.x, y), ImVec2(max.x, y), grid, 1.0f);
  }
  for (int k = 1; k <= 5; ++k) {
    const float x = min.x + size.x * static_cast<float>(k) / 6.0f;
    drawList->AddLine(ImVec2(x, min.y), ImVec2(x, max.y), grid, 1.0f);
  }

  const GraphScale scale = graphScale(seriesRange(seriesA, seriesB), fixedMin, fixedMax);
  const PlotArea plot{drawList, ImVec2(min.x + 3, min.y + 3), ImVec2(max.x - 3, max.y - 3), scale, dark};
  drawSeries(plot, seriesA, colourA, false);
  if (seriesB != nullptr) drawSeries(plot, *seriesB, colourB, true);

  const uint32_t labelColour = dark ? rgba(0.86f, 0.87f, 0.88f, 1.0f) : rgba(0.28f, 0.28f, 0.25f, 1.0f);
  char top[32];
  std::snprintf(top, sizeof(top), "%.0f", scale.max);
  drawList->AddText(ImVec2(max.x - ImGui::CalcTextSize(top).x - 4, min.y + 3), labelColour, top);

  float x = min.x + 5;
  const float y = max.y - 17;
  const char* firstLabel = labelA != nullptr ? labelA : "A";
  drawList->AddLine(ImVec2(x, y + 6), ImVec2(x + 13, y + 6), colourA, 2.0f);
  drawList->AddText(ImVec2(x + 17, y), labelColour, firstLabel);
  if (seriesB != nullptr && labelB != nullptr) {
    x += 17 + ImGui::CalcTextSize(firstLabel).x + 14;
    if (dark) drawList->AddLine(ImVec2(x, y + 6), ImVec2(x + 13, y + 6), rgba(0.72f, 0.72f, 0.70f, 1.0f), 4.0f);
    drawList->AddLine(ImVec2(x, y + 6), ImVec2(x + 13, y + 6), colourB, 2.0f);
    drawList->AddText(ImVec2(x + 17, y), labelColour, labelB);
  }
}

float activityTargetScale(float peak) {
  const float value = std::max(100.0f, 1.15f * peak);
  const float magnitude = value > 0.0f ? std::pow(10.0f, std::floor(std::log10(value))) : 1.0f;
  const float normalised = value / magnitude;
  float step = 10.0f;
  if (normalised <= 1.0f) {
    step = 1.0f;
  } else if (normalised <= 2.5f) {
    step = 2.5f;
  } else if (normalised <= 5.0f) {
    step = 5.0f;
  }
  return std::max(100.0f, step * magnitude);
}

float nextActivityScale(float current, float target) {
  if (target > current) return target;
  return std::max(100.0f, std::max(target, 0.94f * current));
}

std::array<bool, kActivityModules> armedModules(bool running, const ActiveEffects& effects) {
  const EffectConfig& in = effects.inbound;
  const EffectConfig& out = effects.outbound;
  std::array<bool, kActivityModules> armed{};
  if (!running) return armed;
  armed[0] = in.latencyMs != 0 || out.latencyMs != 0;
  armed[1] = in.dropPercent > 0.0 || in.everyN > 1 || out.dropPercent > 0.0 || out.everyN > 1;
  armed[2] = in.throttleBytesPerSecond != 0 || out.throttleBytesPerSecond != 0;
  armed[3] = in.jitterMs != 0 || out.jitterMs != 0;
  armed[4] = in.block || out.block;
  return armed;
}

void Editor::sampleActivity() {
  const DivertStats stats = engine.stats();
  const double now = guiTime();
  const std::array<uint64_t, kActivityModules> counts{stats.latencyActivity, stats.dropActivity,
                                                      stats.throttleActivity, stats.jitterActivity,
                                                      stats.blockedActivity};
  if (activitySampleTime <= 0.0) {
    activitySampleTime = now;
    activityPrevCounts = counts;
    return;
  }
  const double elapsed = now - activitySampleTime;
  if (elapsed < 0.25) return;

  float peak = 0.0f;
  for (int i = 0; i < kActivityModules; ++i) {
    // After a counter reset the new count is the whole delta, not a wrapped
    // difference.
    const uint64_t delta = counts[i] < activityPrevCounts[i] ? counts[i] : counts[i] - activityPrevCounts[i];
    const float deltaRate = static_cast<float>(static_cast<double>(delta) / elapsed);
    activityRates[i] = 0.45f * activityRates[i] + 0.55f * deltaRate;
    peak = std::max(peak, activityRates[i]);
  }
  activityPrevCounts = counts;
  activitySampleTime = now;
  activityScale = nextActivityScale(activityScale, activityTargetScale(peak));
}

namespace {

struct ActivityModule {
  const char* label;
  float r, g, b;
};

constexpr ActivityModule kModules[kActivityModules] = {
    {"LATENCY", 0.13f, 0.83f, 0.93f}, {"DROP", 0.98f, 0.30f, 0.42f},    {"THROTTLE", 0.96f, 0.62f, 0.10f},
    {"JITTER", 0.65f, 0.46f, 0.96f},  {"BLOCKED", 0.86f, 0.15f, 0.25f},
};

}  // namespace

void Editor::drawModuleActivity() {
  panelFrame(rgba(0.55f, 0.36f, 0.98f, 1.0f), rgba(0.96f, 0.18f, 0.72f, 1.0f), darkTheme ? 0.95f : 0.55f);
  ImGui::TextColored(darkTheme ? ImVec4(0.22f, 0.84f, 0.94f, 1.0f) : ImVec4(0.03f, 0.48f, 0.66f, 1.0f),
                     "MODULE ACTIVITY");
  ImGui::SameLine();
  ImGui::TextDisabled("affected packets / sec");
  ImGui::Spacing();

  const bool running = simulationActive && engine.isPipelineActive();
  // The graph as it is now, not the engine's copy, so the bars arm with an edit.
  const std::array<bool, kActivityModules> armed = armedModules(running, resolveEffects());
  for (int i = 0; i < kActivityModules; ++i) {
    const ActivityModule& module = kModules[i];
    drawActivityBar(module.label, armed[i], activityRates[i], rgba(module.r, module.g, module.b, 1.0f));
  }
  ImGui::Separator();
  ImGui::TextDisabled("AUTO SCALE  0 - %.0f p/s", std::max(1.0f, activityScale));
  ImGui::TextDisabled("Counts packets actually changed by each module.");
}

void Editor::drawActivityBar(const char* label, bool armed, float rate, uint32_t colour) {
  ImGui::PushID(label);
  const float scale = std::max(1.0f, activityScale);
  const float value = armed ? std::max(0.0f, rate) : 0.0f;
  const float fill = std::clamp(value / scale, 0.0f, 1.0f);

  if (armed) {
    ImGui::TextColored(unpackColor(colour), "%s", label);
  } else {
    ImGui::TextDisabled("%s", label);
  }
  ImGui::SameLine(ImGui::GetWindowWidth() - 74.0f);
  if (armed) {
    ImGui::Text("%.0f/s", value);
  } else {
    ImGui::TextDisabled("OFF");
  }

  ImDrawList* drawList = ImGui::GetWindowDrawList();
  const ImVec2 p0 = ImGui::GetCursorScreenPos();
  const ImVec2 size(ImGui::GetContentRegionAvail().x, 9.0f);
  drawList->AddRectFilled(p0, ImVec2(p0.x + size.x, p0.y + size.y),
                          darkTheme ? rgba(0.03f, 0.06f, 0.095f, 1.0f) : rgba(0.84f, 0.90f, 0.96f, 1.0f), 5.0f);
  if (armed && fill > 0.001f) {
    const ImVec2 end(p0.x + size.x * fill, p0.y + size.y);
    radialGlow(drawList, ImVec2(end.x, p0.y + 4.5f), 22.0f, colour, 5);
    const ImVec4 c = unpackColor(colour);
    const uint32_t light = rgba(std::min(1.0f, c.x + 0.3f), std::min(1.0f, c.y + 0.3f), std::min(1.0f, c.z + 0.3f), c.w);
    drawList->AddRectFilledMultiColor(p0, end, colour, light, lerpColor(light, rgba(0.98f, 0.12f, 0.68f, 1.0f), 0.26f),
                                      withAlpha(colour, 0.72f));
    drawList->AddLine(p0, ImVec2(end.x, p0.y), withAlpha(light, 0.9f), 1.0f);
    const float span = std::max(1.0f, end.x - p0.x);
    const float sx = p0.x + std::fmod(static_cast<float>(guiTime()) * 72.0f + 4.0f * static_cast<float>(label[0]), span);
    drawList->AddRectFilledMultiColor(ImVec2(std::max(p0.x, sx - 8), p0.y), ImVec2(std::min(end.x, sx + 8), end.y),
                                      withAlpha(light, 0.02f), withAlpha(light, 0.62f), withAlpha(light, 0.62f),
                                      withAlpha(light, 0.02f));
  }
  for (int k = 1; k <= 9; ++k) {
    const float x = p0.x + size.x * static_cast<float>(k) / 10.0f;
    drawList->AddLine(ImVec2(x, p0.y + 1), ImVec2(x, p0.y + size.y - 1), rgba(0.75f, 0.90f, 1.0f, 0.10f), 1.0f);
  }
  ImGui::Dummy(ImVec2(size.x, size.y + 8));
  ImGui::PopID();
}

}  // namespace rivulo
