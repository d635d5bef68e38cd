// The node library: the catalogue's kinds as tiles in four collapsing
// categories, filtered by a search text, dragged onto the canvas.
#include "ui/node_library.h"

#include <imgui.h>

#include <cstdint>

#include "app/editor.h"
#include "graph/node_catalogue.h"
#include "ui/draw_kit.h"
#include "ui/node_card.h"

namespace rivulo {

bool matchesSearch(const std::string& search, const std::string& label, const std::string& description) {
  if (search.empty()) return true;
  const std::string needle = toLowerAscii(search);
  return toLowerAscii(label).find(needle) != std::string::npos ||
         toLowerAscii(description).find(needle) != std::string::npos;
}

void Editor::drawNodeLibrary() {
  panelFrame(rgba(0.05f, 0.83f, 0.98f, 1.0f), rgba(0.96f, 0.18f, 0.72f, 1.0f), darkTheme ? 0.95f : 0.55f);

  const ImVec4 title = darkTheme ? ImVec4(0.22f, 0.84f, 0.94f, 1.0f) : ImVec4(0.03f, 0.48f, 0.66f, 1.0f);
  ImGui::TextColored(title, "NODE LIBRARY");
  ImGui::TextDisabled("Drag modules into the network canvas");
  ImGui::Spacing();

  ImGui::SetNextItemWidth(-1.0f);
  ImGui::InputTextWithHint("##ToolboxSearch", "Search nodes...", toolboxSearch, sizeof(toolboxSearch));
  ImGui::Spacing();

  for (const ToolboxCategory& category : kToolboxCategories) {
    if (!ImGui::CollapsingHeader(category.title, ImGuiTreeNodeFlags_DefaultOpen)) continue;
    for (const ToolboxEntry& entry : category.entries) {
      drawLibraryTile(entry.displayName, entry.type, entry.description);
    }
  }

  ImGui::Spacing();
  ImGui::Separator();
  ImGui::TextDisabled("TIP");
  ImGui::TextWrapped(
      "Drag nodes onto the canvas. Use cyan-black OUT wires and red IN wires. Ctrl+D duplicates, Ctrl+S saves.");
}

bool Editor::drawLibraryTile(const char* label, NodeType type, const char* description) {
  if (!matchesSearch(toolboxSearch, label, description)) return false;

  const int32_t typeValue = static_cast<int32_t>(type);
  const uint32_t accent = nodeAccentColor(typeValue);
  const ImVec4 a = unpackColor(accent);

  ImGui::PushID(typeValue);
  ImGui::PushStyleColor(ImGuiCol_Button,
                        darkTheme ? ImVec4(0.055f, 0.085f, 0.135f, 0.92f) : ImVec4(0.92f, 0.96f, 1.0f, 1.0f));
  ImGui::PushStyleColor(ImGuiCol_ButtonHovered,
                        ImVec4(0.08f + 0.18f * a.x, 0.10f + 0.18f * a.y, 0.14f + 0.18f * a.z, 1.0f));
  ImGui::PushStyleColor(ImGuiCol_Border, unpackColor(withAlpha(accent, 0.32f)));
  ImGui::Button(label, ImVec2(-1.0f, 38.0f));  // a click does nothing: tiles are dragged
  ImGui::PopStyleColor(3);

  const ImVec2 min = ImGui::GetItemRectMin();
  const ImVec2 max = ImGui::GetItemRectMax();
  const bool hovered = ImGui::IsItemHovered();
  const bool held = ImGui::IsItemActive();
  ImDrawList* drawList = ImGui::GetWindowDrawList();
  drawList->AddRectFilledMultiColor(ImVec2(min.x + 7, min.y + 7), ImVec2(min.x + 11, max.y - 7), accent,
                                    withAlpha(accent, 0.25f), withAlpha(accent, 0.25f), accent);
  if (hovered || held) {
    glowFrame(drawList, min, max, accent, 8.0f, held ? 0.85f : 0.48f);
    runningLight(drawList, min, max, accent, rgba(0.96f, 0.18f, 0.72f, 1.0f), 37.0f * static_cast<float>(typeValue),
                 135.0f, 58.0f);
  }
  // Also while the tile is pressed: once it is dragged the library's
  // tooltip gives way to the drag preview.
  if (hovered) {
    ImGui::BeginTooltip();
    ImGui::TextUnformatted(label);
    ImGui::Separator();
    ImGui::PushTextWrapPos(ImGui::GetFontSize() * 18.0f);
    ImGui::TextUnformatted(description);
    ImGui::PopTextWrapPos();
    ImGui::EndTooltip();
  }

  if (ImGui::BeginDragDropSource(ImGuiDragDropFlags_None)) {
    ImGui::SetDragDropPayload("LINKWEAVE_NODE", &typeValue, sizeof(typeValue));
    ImGui::Text("Place %s", label);
    ImGui::TextDisabled("%s", description);
    ImGui::EndDragDropSource();
  }
  ImGui::PopID();
  return true;
}

}  // namespace rivulo
