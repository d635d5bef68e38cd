#include <imgui.h>

#include <algorithm>

#include "app/editor.h"
#include "app/frame_layout.h"
#include "ui/draw_kit.h"

namespace rivulo {

PanelSizes panelSizesFor(float workWidth, float workHeight) {
  PanelSizes sizes;
  sizes.sidebarWidth = std::clamp(0.165f * workWidth, 184.0f, 228.0f);
  sizes.propertiesWidth = std::clamp(0.235f * workWidth, 258.0f, 326.0f);
  sizes.bottomHeight = std::clamp(0.19f * workHeight, 116.0f, 168.0f);
  return sizes;
}

float activityWidthFor(float propertiesWidth, float availableWidth) {
  return std::min(propertiesWidth, std::max(230.0f, 0.28f * availableWidth));
}

void Editor::drawFrame() {
  pollSample();
  if (engine.isPipelineActive()) syncEffects();
  sampleActivity();
  applyStyle();
  ImGuiViewport* viewport = ImGui::GetMainViewport();
  pollHotkey();

  bool minimized = services.window != nullptr && services.window->isMinimized();
  if (minimized || viewport->WorkSize.x < 320.0f || viewport->WorkSize.y < 240.0f) return;
  drawLayout();
}

void Editor::drawLayout() {
  ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->WorkPos, ImGuiCond_Always, ImVec2(0, 0));
  ImGui::SetNextWindowSize(viewport->WorkSize, ImGuiCond_Always);
  ImGuiWindowFlags rootFlags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                               ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                               ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus;
  ImGui::Begin("##LinkweaveRoot", nullptr, rootFlags);

  drawTopBar();

  const PanelSizes sizes = panelSizesFor(viewport->WorkSize.x, viewport->WorkSize.y);
  const float sidebarWidth = sizes.sidebarWidth;
  const float propertiesWidth = sizes.propertiesWidth;
  const float bottomHeight = sizes.bottomHeight;
  const float mainHeight = std::max(100.0f, ImGui::GetContentRegionAvail().y - bottomHeight - 6.0f);

  ImGui::BeginChild("##Sidebar", ImVec2(sidebarWidth, mainHeight), ImGuiChildFlags_Borders);
  drawNodeLibrary();
  ImGui::EndChild();
  ImGui::SameLine();

  const float canvasWidth = std::max(100.0f, ImGui::GetContentRegionAvail().x - propertiesWidth - 6.0f);
  ImGui::BeginChild("##CanvasHost", ImVec2(canvasWidth, mainHeight), ImGuiChildFlags_Borders,
                    ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
  drawCanvas();
  ImGui::EndChild();
  ImGui::SameLine();

  ImGui::BeginChild("##Properties", ImVec2(0, mainHeight), ImGuiChildFlags_Borders);
  drawRightPanel();
  ImGui::EndChild();

  ImGui::Dummy(ImVec2(0, 2));

  const float available = ImGui::GetContentRegionAvail().x;
  const float activityWidth = activityWidthFor(propertiesWidth, available);
  const float logWidth = std::max(120.0f, available - activityWidth - 6.0f);
  ImGui::BeginChild("##Logs", ImVec2(logWidth, 0), ImGuiChildFlags_Borders);
  drawEventLog();
  ImGui::EndChild();
  ImGui::SameLine();
  ImGui::BeginChild("##ModuleLoad", ImVec2(0, 0), ImGuiChildFlags_Borders);
  drawModuleActivity();
  ImGui::EndChild();

  drawProjectFileDialog();
  ImGui::End();
}

void Editor::drawRightPanel() {
  panelFrame(rgba(0.05f, 0.83f, 0.98f, 1.0f), rgba(0.96f, 0.18f, 0.72f, 1.0f), darkTheme ? 0.95f : 0.55f);
  if (ImGui::BeginTabBar("##RightPanelTabs")) {
    auto tabFlags = [this](int tab) {
      return requestedTab == tab ? ImGuiTabItemFlags_SetSelected : ImGuiTabItemFlags_None;
    };
    if (ImGui::BeginTabItem("PROPERTIES", nullptr, tabFlags(0))) {
      drawPropertiesPanel();
      ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("NETWORK", nullptr, tabFlags(1))) {
      drawNetworkPanel();
      ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("PROJECTS", nullptr, tabFlags(2))) {
      drawProjectsPanel();
      ImGui::EndTabItem();
    }
    requestedTab = -1;
    ImGui::EndTabBar();
  }
}

}  // namespace rivulo
