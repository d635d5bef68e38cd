// The NETWORK tab: ping, driver state and counters, interface counters.
#include <imgui.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "app/editor.h"
#include "engine/wired_effects.h"
#include "ui/draw_kit.h"
#include "ui/graphs.h"
#include "ui/node_card.h"

namespace rivulo {

namespace {

const uint32_t kCyan = rgba(0.05f, 0.83f, 0.98f, 1.0f);
const uint32_t kPink = rgba(0.96f, 0.18f, 0.72f, 1.0f);
const uint32_t kGreen = rgba(0.20f, 0.93f, 0.68f, 1.0f);
const uint32_t kAlarmRed = rgba(0.98f, 0.30f, 0.42f, 1.0f);
const ImVec4 kAlarmRedText(0.98f, 0.30f, 0.42f, 1.0f);
const ImVec4 kInboundRed(0.70f, 0.05f, 0.05f, 1.0f);
const uint32_t kGraphRed = rgba(0.76f, 0.05f, 0.05f, 1.0f);
const uint32_t kGraphBlack = rgba(0.02f, 0.02f, 0.02f, 1.0f);
const uint32_t kPingBlue = rgba(0.05f, 0.28f, 0.86f, 1.0f);
const ImVec4 kPipelineRed(0.66f, 0.08f, 0.08f, 1.0f);
const ImVec4 kMonitorGreen(0.05f, 0.38f, 0.08f, 1.0f);

struct PingStatistics {
  float minimum = FLT_MAX;
  float maximum = 0.0f;
  float average = 0.0f;
  int count = 0;
};

PingStatistics pingStatistics(const std::vector<float>& history) {
  PingStatistics stats;
  double sum = 0.0;
  for (float value : history) {
    if (!(value >= 0.0f) || !std::isfinite(value)) continue;
    stats.minimum = std::min(stats.minimum, value);
    stats.maximum = std::max(stats.maximum, value);
    sum += value;
    ++stats.count;
  }
  stats.average = stats.count > 0 ? static_cast<float>(sum / stats.count) : 0.0f;
  return stats;
}

void drawSparkline(ImDrawList* drawList, ImVec2 b0, ImVec2 b1, const std::vector<float>& history, float maximum,
                   bool dark) {
  drawList->AddRectFilled(b0, b1, dark ? rgba(0.006f, 0.018f, 0.038f, 0.76f) : rgba(0.84f, 0.94f, 1.0f, 0.72f), 6.0f);
  drawList->AddRect(b0, b1, withAlpha(kCyan, 0.22f), 6.0f, 0, 1.0f);
  const float top = std::max(30.0f, 1.15f * maximum);
  const size_t n = history.size();
  bool havePrevious = false;
  ImVec2 previous;
  for (size_t j = 0; j < n; ++j) {
    const float value = history[j];
    if (!(value >= 0.0f) || !std::isfinite(value)) {
      havePrevious = false;
      continue;
    }
    const float t = n == 1 ? 1.0f : static_cast<float>(j) / static_cast<float>(n - 1);
    const ImVec2 point(b0.x + (b1.x - b0.x) * t, b1.y - (b1.y - b0.y) * std::clamp(value / top, 0.0f, 1.0f));
    if (havePrevious) {
      drawList->AddLine(previous, point, withAlpha(kCyan, 0.18f), 5.0f);
      drawList->AddLine(previous, point, kCyan, 1.5f);
    }
    previous = point;
    havePrevious = true;
  }
  if (n > 0 && havePrevious && history.back() >= 0.0f && std::isfinite(history.back())) {
    radialGlow(drawList, previous, 8.0f, withAlpha(kCyan, 0.42f), 3);
    drawList->AddCircleFilled(previous, 2.3f, kCyan);
  }
}

unsigned long long ull(uint64_t value) { return static_cast<unsigned long long>(value); }

}  // namespace

void Editor::drawNetworkPanel() {
  ImGui::TextUnformatted("LIVE NETWORK MONITOR");
  ImGui::Separator();
  ImGui::TextDisabled("PING TARGET / DNS");

  ImGui::SetNextItemWidth(-FLT_MIN);
  if (ImGui::InputText("##PingTarget", targetInput, sizeof(targetInput), ImGuiInputTextFlags_EnterReturnsTrue)) {
    applyTarget();
  }
  if (ImGui::Button("APPLY", ImVec2(67, 25))) applyTarget();
  ImGui::SameLine();
  if (ImGui::Button("8.8.8.8", ImVec2(67, 25))) {
    std::snprintf(targetInput, sizeof(targetInput), "%s", "8.8.8.8");
    applyTarget();
  }
  ImGui::SameLine();
  if (ImGui::Button("1.1.1.1", ImVec2(67, 25))) {
    std::snprintf(targetInput, sizeof(targetInput), "%s", "1.1.1.1");
    applyTarget();
  }

  const PingStatistics ping = pingStatistics(pingHistory);

  // The ping status card.
  ImGui::InvisibleButton("##PingStatusCard", ImVec2(std::max(1.0f, ImGui::GetContentRegionAvail().x), 78.0f));
  {
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    const ImVec2 p0 = ImGui::GetItemRectMin();
    const ImVec2 p1 = ImGui::GetItemRectMax();
    const float w = p1.x - p0.x;
    const uint32_t dimmed = ImGui::GetColorU32(ImGuiCol_TextDisabled);
    const uint32_t text = ImGui::GetColorU32(ImGuiCol_Text);

    glowFrame(drawList, p0, p1, pingOnline ? kCyan : kPink, 11.0f, darkTheme ? 0.34f : 0.16f);
    drawList->AddRectFilled(p0, p1, darkTheme ? rgba(0.012f, 0.032f, 0.065f, 0.96f) : rgba(0.91f, 0.97f, 1.0f, 0.98f),
                            11.0f);
    drawList->AddRect(p0, p1, withAlpha(kCyan, 0.42f), 11.0f, 0, 1.0f);
    drawList->AddRectFilledMultiColor(p0, ImVec2(p0.x + 4, p1.y), kCyan, kCyan, kPink, kPink);
    runningLight(drawList, ImVec2(p0.x + 1, p0.y + 1), ImVec2(p1.x - 1, p1.y - 1), kCyan, kPink, 50.0f, 78.0f, 54.0f);

    const ImVec2 c(p0.x + 25, p0.y + 39);
    radialGlow(drawList, c, 20.0f, withAlpha(kCyan, 0.36f), 5);
    drawList->AddCircleFilled(ImVec2(c.x, c.y + 7), 2.2f, kCyan);
    drawList->PathArcTo(ImVec2(c.x, c.y + 8), 8.0f, 3.7f, 5.72f, 14);
    drawList->PathStroke(kCyan, 0, 1.7f);
    drawList->PathArcTo(ImVec2(c.x, c.y + 8), 14.0f, 3.7f, 5.72f, 16);
    drawList->PathStroke(withAlpha(kCyan, 0.72f), 0, 1.5f);

    drawList->AddText(ImVec2(p0.x + 48, p0.y + 10), dimmed, "PING / ICMP");
    char value[32];
    if (pingOnline) {
      std::snprintf(value, sizeof(value), "%.0f ms", pingMs);
      drawList->AddText(ImVec2(p0.x + 48, p0.y + 29), kCyan, value);
    } else {
      drawList->AddText(ImVec2(p0.x + 48, p0.y + 29), kAlarmRed, "N/A");
    }

    const float sx = p0.x + std::min(145.0f, 0.46f * w);
    drawList->AddText(ImVec2(sx, p0.y + 11), pingOnline ? kGreen : kAlarmRed, pingOnline ? "ONLINE" : "NO REPLY");
    const std::string shown = resolvedAddress.empty() ? std::string(targetInput) : resolvedAddress;
    drawList->AddText(ImVec2(sx, p0.y + 31), text, clipText(shown, std::max(50.0f, 0.3f * w)).c_str());
    char line[96];
    if (ping.count > 0) {
      std::snprintf(line, sizeof(line), "AVG %.0f   MIN %.0f   MAX %.0f", ping.average, ping.minimum, ping.maximum);
    } else {
      std::snprintf(line, sizeof(line), "AVG --   MIN --   MAX --");
    }
    drawList->AddText(ImVec2(sx, p0.y + 53), dimmed, line);

    const ImVec2 b0(std::max(p0.x + 0.67f * w, sx + 112), p0.y + 13);
    const ImVec2 b1(p1.x - 10, p1.y - 13);
    if (b1.x - b0.x > 34.0f) drawSparkline(drawList, b0, b1, pingHistory, ping.maximum, darkTheme);
  }
  if (!pingOnline && !statusMessage.empty()) ImGui::TextColored(kAlarmRedText, "%s", statusMessage.c_str());

  drawGraph("##PingGraph", "PING / ms", pingHistory, kPingBlue, "PING", nullptr, 0, nullptr, 0.0f, -1.0f, darkTheme);

  ImGui::Spacing();
  ImGui::Separator();
  ImGui::TextDisabled("NFQUEUE DRIVER / REAL PACKETS");
  const DivertStats divertStats = engine.stats();

  if (divertStats.running && divertStats.handleOpen && divertStats.mode == 2) {
    ImGui::TextColored(kPipelineRed, "DRIVER ACTIVE - EFFECT PIPELINE");
  } else if (divertStats.running && divertStats.handleOpen) {
    ImGui::TextColored(kMonitorGreen, "DRIVER ACTIVE - PASSIVE MONITOR");
  } else if (divertStats.lastError.empty()) {
    ImGui::TextDisabled("DRIVER STOPPED");
  } else {
    ImGui::TextColored(kPipelineRed, "DRIVER ERROR");
  }
  // The kernel drops nothing when its queue is full: packets pass without
  // effects, which the user must know while judging a test.
  if (divertStats.queueFull) ImGui::TextColored(kAlarmRedText, "QUEUE FULL - new packets pass unconditioned");

  // Buttons are 128 wide unless their label needs more in the font in use.
  auto buttonWidth = [](const char* label, float atLeast) {
    return std::max(atLeast, ImGui::CalcTextSize(label).x + 2 * ImGui::GetStyle().FramePadding.x);
  };
  if (divertStats.running) {
    const char* label = divertStats.mode == 2 ? "STOP + FLUSH" : "STOP DRIVER";
    if (ImGui::Button(label, ImVec2(buttonWidth(label, 128), 27))) {
      if (simulationActive) {
        stopSimulation();
      } else {
        engine.stop();
        pingTimeoutMs = 1500;
        addLog("NFQUEUE stopped. Any held packets were flushed.");
      }
    }
  } else if (ImGui::Button("START MONITOR", ImVec2(buttonWidth("START MONITOR", 128), 27))) {
    const std::string filter = composeFilter();
    if (engine.startMonitor(filter)) {
      addLog("Passive monitor started with filter: " + filter);
    } else {
      addLog("Passive monitor failed: " + engine.stats().lastError);
    }
  }
  // The second button takes the rest of the row, or a row of its own when
  // the rest is too narrow for its label.
  ImGui::SameLine();
  if (ImGui::GetContentRegionAvail().x < buttonWidth("RESET DRIVER STATS", 0)) ImGui::NewLine();
  if (ImGui::Button("RESET DRIVER STATS", ImVec2(-FLT_MIN, 27))) {
    engine.resetCounters();
    activitySampleTime = 0.0;
    activityRates.fill(0.0f);
    activityScale = 100.0f;
  }

  ImGui::Text("Filter: %s", divertStats.filter.empty() ? "true" : divertStats.filter.c_str());
  ImGui::TextColored(kInboundRed, "CAPTURED IN   %llu  (%llu bytes)", ull(divertStats.capturedIn),
                     ull(divertStats.capturedInBytes));
  ImGui::Text("CAPTURED OUT  %llu  (%llu bytes)", ull(divertStats.capturedOut), ull(divertStats.capturedOutBytes));
  ImGui::Text("DELAYED       %llu", ull(divertStats.delayed));
  ImGui::TextColored(kInboundRed, "DROPPED       %llu", ull(divertStats.dropped));
  ImGui::Text("REINJECTED    %llu", ull(divertStats.reinjected));
  ImGui::Text("DUPLICATED    %llu", ull(divertStats.duplicated));
  ImGui::Text("HELD QUEUE    %llu", ull(divertStats.heldQueue));

  const ActiveEffects activeEffects = engine.currentEffects();
  ImGui::Separator();
  ImGui::TextDisabled("WIRED EFFECTS");
  const std::array<std::string, 6> wired = wiredEffectsLines(activeEffects);
  for (size_t i = 0; i < wired.size(); ++i) {
    if (i < 2) {
      ImGui::TextColored(kInboundRed, "%s", wired[i].c_str());  // the inbound half
    } else {
      ImGui::TextUnformatted(wired[i].c_str());
    }
  }
  if (!divertStats.lastError.empty()) ImGui::TextWrapped("%s", divertStats.lastError.c_str());
  ImGui::TextWrapped(
      "START SIM uses the red/black wired chains as real traffic effects. STOP SIM flushes held packets immediately.");

  ImGui::Spacing();
  ImGui::Separator();
  ImGui::TextDisabled("LINUX INTERFACE COUNTERS");
  ImGui::TextColored(kInboundRed, "IN   %llu   %.0f/s", ull(totalIn), rateIn);
  ImGui::Text("OUT  %llu   %.0f/s", ull(totalOut), rateOut);
  ImGui::Text("TOTAL %llu", ull(totalIn + totalOut));

  drawGraph("##PacketRateGraph", "PACKETS / SECOND", inRateHistory, kGraphRed, "IN", &outRateHistory, kGraphBlack,
            "OUT", 0.0f, -1.0f, darkTheme);
  drawGraph("##PacketTotalGraph", "TOTAL PACKETS", inTotalHistory, kGraphRed, "IN", &outTotalHistory, kGraphBlack,
            "OUT", 0.0f, -1.0f, darkTheme);

  if (ImGui::Button("RESET STATS", ImVec2(-FLT_MIN, 27))) resetStatistics();
  ImGui::TextWrapped(
      "Red = incoming, black = outgoing, blue = ping. Interface totals start when Rivulo opens or when you reset "
      "them.");
  // Wrapped like the line above: the panel is narrower than the sentence.
  ImGui::PushTextWrapPos(0.0f);
  ImGui::TextDisabled("Active non-loopback Linux interfaces are counted here; NFQUEUE capture is shown above.");
  ImGui::PopTextWrapPos();
}

}  // namespace rivulo
