// The top bar: logo and title (the drag handle of the borderless window), the
// canvas mode buttons, Start/Stop with its timer, the theme and window
// buttons, and the FILTER / HOTKEY / PROJECT row.
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/editor.h"
#include "ui/draw_kit.h"

namespace rivulo {

namespace {

constexpr float kTopBarHeight = 88.0f;
constexpr float kCompactBelow = 1180.0f;
constexpr float kPi = 3.14159265358979f;

const char* const kFilterNames[] = {"All", "UDP", "TCP", "IP", "Inbound", "Outbound", "Custom"};

struct TopBarColours {
  uint32_t cyan = rgba(0.08f, 0.83f, 1.0f, 1.0f);
  uint32_t blue = rgba(0.12f, 0.40f, 1.0f, 1.0f);
  uint32_t magenta = rgba(0.98f, 0.12f, 0.68f, 1.0f);
  uint32_t orange = rgba(1.0f, 0.34f, 0.08f, 1.0f);
};

ImVec4 colourOf(ImGuiCol slot) { return ImGui::GetStyle().Colors[slot]; }

// One logo arc around the logo's centre: a wide faint stroke under a thin bright one.
struct WifiArc {
  ImDrawList* drawList;
  ImVec2 centre;
  void operator()(float radius, uint32_t glow, uint32_t core, float thickness) const {
    constexpr float arcStart = -2.46f;
    constexpr float arcEnd = -0.68f;
    drawList->PathArcTo(centre, radius, arcStart, arcEnd, 24);
    drawList->PathStroke(glow, ImDrawFlags_None, thickness + 5.0f);
    drawList->PathArcTo(centre, radius, arcStart, arcEnd, 24);
    drawList->PathStroke(core, ImDrawFlags_None, thickness);
  }
};

// A canvas mode button; true when clicked.
struct ToolButton {
  ImDrawList* drawList;
  const TopBarColours& colours;
  bool operator()(const char* label, bool active, float width) const {
    if (active) {
      ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.025f, 0.24f, 0.38f, 0.96f));
      ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.04f, 0.40f, 0.56f, 1.0f));
      ImGui::PushStyleColor(ImGuiCol_Border, ImVec4(0.08f, 0.86f, 1.0f, 0.95f));
    }
    const bool clicked = ImGui::Button(label, ImVec2(width, 32));
    if (active) ImGui::PopStyleColor(3);
    const bool hovered = ImGui::IsItemHovered();
    if (active || hovered) {
      const ImVec2 min = ImGui::GetItemRectMin();
      const ImVec2 max = ImGui::GetItemRectMax();
      glowFrame(drawList, min, max, active ? colours.cyan : colours.magenta, 9.0f, active ? 0.75f : 0.4f);
      runningLight(drawList, min, max, colours.cyan, colours.magenta, width * 1.3f, 150.0f, 42.0f);
    }
    return clicked;
  }
};

enum class ThemeGlyph { Sun, Moon };

// The sun and moon buttons; true when clicked.
struct ThemeIcon {
  ImDrawList* drawList;
  const TopBarColours& colours;
  bool operator()(const char* label, ThemeGlyph glyph, bool selected) const {
    const ImVec4 selectedFill(0.035f, 0.25f, 0.39f, 0.96f);
    if (selected) ImGui::PushStyleColor(ImGuiCol_Button, selectedFill);
    const bool clicked = ImGui::Button(label, ImVec2(34, 32));
    if (selected) ImGui::PopStyleColor();
    const bool hovered = ImGui::IsItemHovered();
    const bool held = ImGui::IsItemActive();
    const ImVec2 min = ImGui::GetItemRectMin();
    const ImVec2 max = ImGui::GetItemRectMax();
    const ImVec2 c((min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f);
    const uint32_t icon = selected ? colours.cyan : ImGui::GetColorU32(ImGuiCol_Text);
    // The moon is cut with the colour the button is filled with right now.
    ImVec4 background = colourOf(ImGuiCol_Button);
    if (held) {
      background = colourOf(ImGuiCol_ButtonActive);
    } else if (hovered) {
      background = colourOf(ImGuiCol_ButtonHovered);
    } else if (selected) {
      background = selectedFill;
    }
    if (selected || hovered) glowFrame(drawList, min, max, selected ? colours.cyan : colours.magenta, 9.0f, 0.45f);
    if (glyph == ThemeGlyph::Moon) {
      drawList->AddCircleFilled(c, 8.0f, icon, 24);
      drawList->AddCircleFilled(ImVec2(c.x + 4.0f, c.y - 3.0f), 6.5f, ImGui::ColorConvertFloat4ToU32(background), 24);
    } else {
      drawList->AddCircle(c, 5.0f, icon, 20, 1.5f);
      for (int i = 0; i < 8; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / 8.0f;
        const ImVec2 dir(std::cos(a), std::sin(a));
        drawList->AddLine(ImVec2(c.x + 8.0f * dir.x, c.y + 8.0f * dir.y), ImVec2(c.x + 11.0f * dir.x, c.y + 11.0f * dir.y),
                          icon, 1.4f);
      }
    }
    return clicked;
  }
};

enum class WindowGlyph { Minimise, Maximise, Close };

// Minimise, maximise/restore and close; true when clicked.
struct WindowButton {
  ImDrawList* drawList;
  const TopBarColours& colours;
  bool operator()(const char* label, WindowGlyph glyph) const {
    const bool isClose = glyph == WindowGlyph::Close;
    if (isClose) {
      ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.84f, 0.055f, 0.19f, 1.0f));
      ImGui::PushStyleColor(ImGuiCol_ButtonActive, ImVec4(1.0f, 0.10f, 0.25f, 1.0f));
    }
    const bool clicked = ImGui::Button(label, ImVec2(34, 32));
    if (isClose) ImGui::PopStyleColor(2);
    const ImVec2 min = ImGui::GetItemRectMin();
    const ImVec2 max = ImGui::GetItemRectMax();
    if (ImGui::IsItemHovered()) {
      glowFrame(drawList, min, max, isClose ? rgba(1.0f, 0.12f, 0.30f, 1.0f) : colours.cyan, 9.0f, 0.42f);
    }
    const ImVec2 c((min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f);
    const uint32_t ink = ImGui::GetColorU32(ImGuiCol_Text);
    switch (glyph) {
      case WindowGlyph::Minimise:
        drawList->AddLine(ImVec2(c.x - 6, c.y + 4), ImVec2(c.x + 6, c.y + 4), ink, 1.5f);
        break;
      case WindowGlyph::Maximise:
        drawList->AddRect(ImVec2(c.x - 6, c.y - 5), ImVec2(c.x + 6, c.y + 5), ink, 1.0f, 0, 1.5f);
        break;
      case WindowGlyph::Close:
        drawList->AddLine(ImVec2(c.x - 5, c.y - 5), ImVec2(c.x + 5, c.y + 5), ink, 1.5f);
        drawList->AddLine(ImVec2(c.x + 5, c.y - 5), ImVec2(c.x - 5, c.y + 5), ink, 1.5f);
        break;
    }
    return clicked;
  }
};

}  // namespace

void Editor::drawTopBar() {
  ImGui::BeginChild("##Topbar", ImVec2(0, kTopBarHeight), ImGuiChildFlags_None,
                    ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
  ImDrawList* drawList = ImGui::GetWindowDrawList();
  const ImVec2 min = ImGui::GetWindowPos();
  const ImVec2 barSize = ImGui::GetWindowSize();
  const ImVec2 max(min.x + barSize.x, min.y + barSize.y);
  const bool compact = barSize.x < kCompactBelow;
  auto pick = [compact](float compactValue, float normalValue) { return compact ? compactValue : normalValue; };
  const TopBarColours colours;
  const float pulse = 0.5f + 0.5f * std::sin(2.7f * static_cast<float>(guiTime()));
  WindowActions* window = services.window;

  // Background and logo, under every widget.
  const uint32_t fill = darkTheme ? rgba(0.01f, 0.022f, 0.047f, 0.985f) : rgba(0.94f, 0.97f, 1.0f, 0.985f);
  panelCard(drawList, min, max, fill, colours.cyan, colours.magenta, 15.0f);
  drawList->AddRectFilledMultiColor(ImVec2(min.x + 15, min.y + 1), ImVec2(max.x - 15, min.y + 4), colours.cyan,
                                    colours.blue, colours.magenta, colours.orange);
  glowLine(drawList, ImVec2(min.x + 22, max.y - 4), ImVec2(max.x - 22, max.y - 4), withAlpha(colours.cyan, 0.72f), 1.0f,
           4.0f);
  const ImVec2 wifiCenter(min.x + 31, min.y + 31);
  drawList->AddCircleFilled(ImVec2(wifiCenter.x, wifiCenter.y - 6), 18.5f, rgba(0.012f, 0.035f, 0.073f, 0.96f), 36);
  drawList->AddCircle(ImVec2(wifiCenter.x, wifiCenter.y - 6), 18.5f, withAlpha(colours.cyan, 0.48f), 36, 1.2f);
  const WifiArc wifiArc{drawList, wifiCenter};
  wifiArc(7.0f, withAlpha(colours.cyan, 0.16f), colours.cyan, 2.2f);
  wifiArc(12.0f, withAlpha(colours.cyan, 0.14f), rgba(0.34f, 0.91f, 1.0f, 1.0f), 2.1f);
  wifiArc(17.0f, withAlpha(colours.magenta, 0.14f), rgba(0.42f, 0.80f, 1.0f, 1.0f), 2.0f);
  radialGlow(drawList, wifiCenter, 12.0f, withAlpha(colours.magenta, 0.44f + 0.16f * pulse), 5);
  drawList->AddCircleFilled(wifiCenter, 3.2f, colours.magenta);
  drawList->AddCircleFilled(ImVec2(wifiCenter.x - 0.7f, wifiCenter.y - 0.8f), 1.25f, rgba(1.0f, 0.90f, 0.98f, 1.0f));
  drawList->AddText(ImVec2(min.x + 56, min.y + 9), ImGui::GetColorU32(ImGuiCol_Text), "Rivulo");
  drawList->AddText(ImVec2(min.x + 56, min.y + 28), withAlpha(colours.cyan, 0.72f), "V1.0.5");

  // The logo and title move the borderless window.
  ImGui::SetCursorPos(ImVec2(7, 5));
  ImGui::InvisibleButton("##WindowDragGrip", ImVec2(170, 38));
  if (ImGui::IsItemActivated() && window != nullptr && !window->isMaximized()) {
    windowDragMouseStart = window->globalMousePosition();
    windowDragRectStart = window->windowRect();
    windowDragging = true;
  }
  if (windowDragging && ImGui::IsItemActive() && window != nullptr && window->leftButtonDown() &&
      ImGui::IsMouseDragging(ImGuiMouseButton_Left, 3.0f)) {
    const ScreenPoint mouse = window->globalMousePosition();
    window->moveWindow(windowDragRectStart.left + mouse.x - windowDragMouseStart.x,
                       windowDragRectStart.top + mouse.y - windowDragMouseStart.y);
  }
  if (!ImGui::IsItemActive() || (window != nullptr && !window->leftButtonDown())) windowDragging = false;
  if (ImGui::IsItemHovered() && ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left) && window != nullptr) {
    if (window->isMaximized()) {
      window->restore();
    } else {
      window->maximize();
    }
  }

  // First row: modes, Start/Stop, timer, indicator, theme, window buttons.
  const float rowX = pick(160, 190);
  ImGui::SetCursorPos(ImVec2(rowX, 8));
  const ToolButton toolButton{drawList, colours};
  struct ModeButton {
    const char* label;
    EditMode mode;
    float compactWidth;
    float normalWidth;
  };
  const ModeButton modes[] = {{"Select", EditMode::Select, 58, 66},
                              {"Out Wire", EditMode::WireOut, 67, 78},
                              {"In Wire", EditMode::WireIn, 63, 72},
                              {"Delete", EditMode::Delete, 58, 66}};
  for (size_t i = 0; i < std::size(modes); ++i) {
    if (i > 0) ImGui::SameLine(0, 5);
    const ModeButton& m = modes[i];
    if (toolButton(m.label, editMode == m.mode, pick(m.compactWidth, m.normalWidth))) {
      // A mode change never leaves a half-drawn wire behind.
      editMode = m.mode;
      wireStartNodeId = -1;
    }
  }

  ImGui::SameLine(0, pick(7, 12));
  {
    const bool live = simulationActive;
    const uint32_t accent = live ? rgba(1.0f, 0.22f, 0.34f, 1.0f) : rgba(0.10f, 0.96f, 0.67f, 1.0f);
    if (live) {
      ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.55f, 0.055f, 0.16f, 0.97f));
      ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.78f, 0.08f, 0.22f, 1.0f));
      ImGui::PushStyleColor(ImGuiCol_Border, ImVec4(1.0f, 0.25f, 0.38f, 0.95f));
    } else {
      ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.025f, 0.39f, 0.27f, 0.97f));
      ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.04f, 0.58f, 0.39f, 1.0f));
      ImGui::PushStyleColor(ImGuiCol_Border, ImVec4(0.10f, 0.96f, 0.67f, 0.92f));
    }
    const bool clicked = ImGui::Button(live ? "Stop" : "Start", ImVec2(pick(61, 72), 32));
    ImGui::PopStyleColor(3);
    glowFrame(drawList, ImGui::GetItemRectMin(), ImGui::GetItemRectMax(), accent, 9.0f, 0.68f + 0.18f * pulse);
    runningLight(drawList, ImGui::GetItemRectMin(), ImGui::GetItemRectMax(), accent, colours.cyan, 210.0f, 175.0f,
                 44.0f);
    if (clicked) {
      if (live) {
        stopSimulation();
      } else {
        startSimulation();
      }
    }
  }

  ImGui::SameLine(0, 5);
  {
    char timerText[32] = {};
    formatSimulationTime(shownSimulationTime(), timerText, sizeof(timerText));
    const bool live = simulationActive;
    ImGui::PushStyleColor(ImGuiCol_Button, darkTheme ? ImVec4(0.025f, 0.055f, 0.095f, 0.96f)
                                                     : ImVec4(0.88f, 0.94f, 0.99f, 1.0f));
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, darkTheme ? ImVec4(0.035f, 0.075f, 0.125f, 0.98f)
                                                            : ImVec4(0.83f, 0.91f, 0.98f, 1.0f));
    ImGui::PushStyleColor(ImGuiCol_Border,
                          live ? ImVec4(0.10f, 0.96f, 0.67f, 0.46f) : ImVec4(0.08f, 0.83f, 1.0f, 0.3f));
    // The id stays fixed while the shown time changes.
    char timerLabel[64];
    std::snprintf(timerLabel, sizeof(timerLabel), "%s###SimulationTimer", timerText);
    ImGui::Button(timerLabel, ImVec2(pick(70, 78), 32));
    ImGui::PopStyleColor(3);
    if (live) {
      glowFrame(drawList, ImGui::GetItemRectMin(), ImGui::GetItemRectMax(), rgba(0.10f, 0.96f, 0.67f, 1.0f), 7.0f,
                0.28f);
    }
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("Simulation time (HH:MM:SS)");
  }

  ImGui::SetCursorPos(ImVec2(barSize.x - pick(292, 322), 8));
  if (simulationActive) {
    ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.02f, 0.30f, 0.22f, 0.82f));
    ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.52f, 1.0f, 0.80f, 1.0f));
  } else {
    ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0.08f, 0.12f, 0.21f, 0.88f));
    ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0.48f, 0.64f, 0.80f, 1.0f));
  }
  ImGui::Button(simulationActive ? "LIVE" : "IDLE", ImVec2(58, 32));
  ImGui::PopStyleColor(2);

  const ThemeIcon themeIcon{drawList, colours};
  ImGui::SameLine(0, 7);
  if (themeIcon("##LightTheme", ThemeGlyph::Sun, !darkTheme)) {
    darkTheme = false;
    applyStyle();
    addLog("Theme switched to LIGHT.");
  }
  ImGui::SameLine(0, 5);
  if (themeIcon("##DarkTheme", ThemeGlyph::Moon, darkTheme)) {
    darkTheme = true;
    applyStyle();
    addLog("Theme switched to DARK.");
  }

  const WindowButton windowButton{drawList, colours};
  ImGui::SameLine(0, 10);
  if (windowButton("##WinMin", WindowGlyph::Minimise) && window != nullptr) window->minimize();
  ImGui::SameLine(0, 4);
  if (windowButton("##WinMax", WindowGlyph::Maximise) && window != nullptr) {
    if (window->isMaximized()) {
      window->restore();
    } else {
      window->maximize();
    }
  }
  ImGui::SameLine(0, 4);
  // Closing ends the frame loop exactly as the window manager's close does.
  if (windowButton("##WinClose", WindowGlyph::Close) && window != nullptr) window->requestClose();

  // Second row: FILTER, HOTKEY, PROJECT.
  ImGui::SetCursorPos(ImVec2(rowX, 48));
  ImGui::AlignTextToFramePadding();
  ImGui::TextDisabled("FILTER");
  ImGui::SameLine(0, 7);
  ImGui::SetNextItemWidth(pick(92, 108));
  ImGui::Combo("##Filter", &filterMode, kFilterNames, IM_ARRAYSIZE(kFilterNames));
  if (filterMode == 6) {
    ImGui::SameLine(0, 7);
    ImGui::SetNextItemWidth(pick(145, 220));
    ImGui::InputTextWithHint("##CustomFilter", "NFQUEUE filter...", customFilter, sizeof(customFilter));
  }

  ImGui::SameLine(0, 10);
  ImGui::TextDisabled("HOTKEY");
  ImGui::SameLine(0, 6);
  drawHotkeySelector(pick(112, 138));

  ImGui::SameLine(0, 11);
  ImGui::TextDisabled("PROJECT");
  ImGui::SameLine(0, 7);
  {
    const float fieldWidth =
        std::clamp(ImGui::GetContentRegionAvail().x - pick(156, 170), 120.0f, pick(230, 340));
    const std::string currentProjectName = std::filesystem::path(projectPath).filename().string();
    char displayPath[260] = {};
    std::snprintf(displayPath, sizeof(displayPath), "%s",
                  currentProjectName.empty() ? "No project selected" : currentProjectName.c_str());
    ImGui::SetNextItemWidth(fieldWidth);
    ImGui::BeginDisabled();
    ImGui::InputText("##ProjectPathDisplay", displayPath, sizeof(displayPath), ImGuiInputTextFlags_ReadOnly);
    ImGui::EndDisabled();
  }
  ImGui::SameLine(0, 6);
  if (ImGui::Button("Save As", ImVec2(pick(66, 74), 28))) openProjectDialog(true);
  ImGui::SameLine(0, 5);
  if (ImGui::Button("Open", ImVec2(pick(58, 64), 28))) openProjectDialog(false);

  ImGui::EndChild();
}

}  // namespace rivulo
