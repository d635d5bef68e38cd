// The top bar: title and drag grip, mode buttons, Start/Stop, theme and
// window buttons, and the FILTER / HOTKEY / PROJECT row.
#include <imgui.h>

#include "app/editor.h"
#include "ui/draw_kit.h"

namespace rivulo {

void Editor::drawTopBar() {
  ImGui::BeginChild("##Topbar", ImVec2(0, 88), ImGuiChildFlags_None,
                    ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
  ImDrawList* drawList = ImGui::GetWindowDrawList();
  ImVec2 min = ImGui::GetWindowPos();
  ImVec2 max(min.x + ImGui::GetWindowSize().x, min.y + ImGui::GetWindowSize().y);
  uint32_t cyan = rgba(0.08f, 0.83f, 1.0f, 1.0f);
  uint32_t magenta = rgba(0.98f, 0.12f, 0.68f, 1.0f);
  uint32_t fill = darkTheme ? rgba(0.01f, 0.022f, 0.047f, 0.985f) : rgba(0.94f, 0.97f, 1.0f, 0.985f);
  panelCard(drawList, min, max, fill, cyan, magenta, 15.0f);
  drawList->AddText(ImVec2(min.x + 56, min.y + 9), ImGui::GetColorU32(ImGuiCol_Text), "Rivulo");
  drawList->AddText(ImVec2(min.x + 56, min.y + 28), withAlpha(cyan, 0.72f), "V1.0.5");
  ImGui::EndChild();
}

}  // namespace rivulo
