// The HOTKEY combo of the top bar's second row.
#include <imgui.h>
#include <imgui_internal.h>

#include "app/editor.h"
#include "app/hotkey_table.h"

namespace rivulo {

void Editor::drawHotkeySelector(float width) {
  const auto& table = hotkeyTable();
  const int current = (hotkeyIndex >= 0 && hotkeyIndex < kHotkeyRowCount) ? hotkeyIndex : 0;
  const ImGuiID comboId = ImGui::GetID("##SimulationHotkey");
  ImGui::SetNextItemWidth(width);
  if (ImGui::BeginCombo("##SimulationHotkey", table[static_cast<size_t>(current)].name)) {
    int chosen = -1;
    for (int i = 0; i < kHotkeyRowCount; ++i) {
      const bool selected = i == current;
      if (ImGui::Selectable(table[static_cast<size_t>(i)].name, selected)) chosen = i;
      if (selected) ImGui::SetItemDefaultFocus();
    }
    ImGui::EndCombo();
    if (chosen >= 0) chooseHotkey(chosen);
  }
  // Combo boxes announce no label of their own to item hooks; name this one so
  // that it can be found like any other widget.
  ImGuiContext& g = *ImGui::GetCurrentContext();
  IMGUI_TEST_ENGINE_ITEM_INFO(comboId, "##SimulationHotkey", ImGuiItemStatusFlags_None);
  if (ImGui::IsItemHovered()) {
    ImGui::SetTooltip(
        "Global Start/Stop hotkey. Works while minimized and includes keyboard, mouse side buttons and Xbox "
        "controller inputs.");
  }
}

}  // namespace rivulo
