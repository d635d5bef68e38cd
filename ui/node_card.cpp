// Node cards: the cut-corner panel of each node with its accent, icon disc,
// texts, status light and ports, and the card's own mouse handling.
#include "ui/node_card.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

#include "app/editor.h"
#include "graph/node_catalogue.h"
#include "graph/text_measure.h"
#include "ui/draw_kit.h"

namespace rivulo {

namespace {

uint32_t rgb255(int r, int g, int b) { return IM_COL32(r, g, b, 255); }

// Nearest multiple of the grid step; halves go away from zero.
float snapToStep(float v) { return std::round(v / 20.0f) * 20.0f; }

}  // namespace

uint32_t nodeAccentColor(int type) {
  switch (static_cast<NodeType>(type)) {
    case NodeType::Drop: return rgb255(251, 113, 133);
    case NodeType::Jitter: return rgb255(167, 139, 250);
    case NodeType::Throttle: return rgb255(245, 158, 11);
    case NodeType::HoldGate: return rgb255(56, 189, 248);
    case NodeType::Burst: return rgb255(129, 140, 248);
    case NodeType::Duplicate: return rgb255(45, 212, 191);
    case NodeType::NthDrop: return rgb255(244, 114, 182);
    case NodeType::Block: return rgb255(239, 68, 68);
    case NodeType::PacketMeter: return rgb255(96, 165, 250);
    case NodeType::Note: return rgb255(250, 204, 21);
    default: return rgb255(34, 211, 238);
  }
}

void drawCardShape(ImDrawList* drawList, ImVec2 min, ImVec2 max, float cut, uint32_t fill, uint32_t outline,
                   float thickness) {
  const float small = 0.55f * cut;
  const ImVec2 points[8] = {
      ImVec2(min.x + cut, min.y),   ImVec2(max.x - cut, min.y),   ImVec2(max.x, min.y + cut),
      ImVec2(max.x, max.y - small), ImVec2(max.x - small, max.y), ImVec2(min.x + cut, max.y),
      ImVec2(min.x, max.y - cut),   ImVec2(min.x, min.y + small),
  };
  drawList->AddConvexPolyFilled(points, 8, fill);
  if ((outline & IM_COL32_A_MASK) != 0 && thickness > 0.0f) {
    drawList->AddPolyline(points, 8, outline, ImDrawFlags_Closed, thickness);
  }
}

std::string clipText(const std::string& text, float maxWidth) {
  if (maxWidth <= 1.0f) return {};
  if (measureTextWidth(text) <= maxWidth) return text;
  if (measureTextWidth("...") > maxWidth) return {};
  std::string rest = text;
  while (!rest.empty()) {
    // Drop one whole character: never leave half of a UTF-8 sequence behind.
    size_t cut = rest.size() - 1;
    while (cut > 0 && (static_cast<unsigned char>(rest[cut]) & 0xC0) == 0x80) --cut;
    rest.erase(cut);
    std::string candidate = rest + "...";
    if (measureTextWidth(candidate) <= maxWidth) return candidate;
  }
  return "...";
}

bool pointInRect(ImVec2 p, ImVec2 min, ImVec2 max) {
  return min.x <= p.x && p.x <= max.x && min.y <= p.y && p.y <= max.y;
}

void Editor::drawNodeCard(ImDrawList* drawList, Node& node) {
  const ImVec2 min(canvasOrigin.x + node.position.x, canvasOrigin.y + node.position.y);
  const ImVec2 max(min.x + node.size.x, min.y + node.size.y);
  const float w = node.size.x;
  const float h = node.size.y;
  const ImVec2 mouse = ImGui::GetIO().MousePos;
  const uint32_t accent = nodeAccentColor(node.type);
  const uint32_t magenta = rgba(0.96f, 0.12f, 0.68f, 1.0f);
  const uint32_t red = rgba(0.98f, 0.30f, 0.42f, 1.0f);
  const uint32_t cyan = rgba(0.13f, 0.83f, 0.93f, 1.0f);

  const bool selected = selectedNodeId == node.id;
  const bool hovered = pointInRect(mouse, min, max) && canvasHovered;
  const std::string valueText = nodeValueLabel(node);

  uint32_t fill;
  if (darkTheme) {
    fill = node.enabled ? rgba(0.035f, 0.06f, 0.10f, 0.97f) : rgba(0.028f, 0.038f, 0.055f, 0.90f);
  } else {
    fill = node.enabled ? rgba(0.965f, 0.98f, 1.0f, 0.98f) : rgba(0.90f, 0.92f, 0.95f, 0.96f);
  }

  drawCardShape(drawList, ImVec2(min.x, min.y + 7), ImVec2(max.x, max.y + 10), 11.0f,
                rgba(0, 0, 0, darkTheme ? 0.30f : 0.12f), 0, 0.0f);
  if (selected) {
    drawCardShape(drawList, ImVec2(min.x - 5, min.y - 5), ImVec2(max.x + 5, max.y + 5), 15.0f,
                  withAlpha(accent, 0.07f), withAlpha(accent, 0.4f), 4.4f);
  }
  glowFrame(drawList, min, max, accent, 11.0f, selected ? 1.15f : (hovered ? 0.72f : 0.30f));

  const uint32_t outline =
      selected ? accent : (darkTheme ? withAlpha(accent, 0.36f) : rgba(0.72f, 0.82f, 0.93f, 1.0f));
  drawCardShape(drawList, min, max, 11.0f, fill, outline, selected ? 2.0f : 1.15f);

  if (darkTheme) {
    const ImVec2 wash0(min.x + 7, min.y + 7);
    const ImVec2 wash1(max.x - 7, max.y - 7);
    drawList->AddRectFilledMultiColor(wash0, wash1, withAlpha(accent, 0.055f), rgba(0.96f, 0.12f, 0.68f, 0.018f),
                                      rgba(0.96f, 0.12f, 0.68f, 0.06f), withAlpha(accent, 0.012f));
  }

  runningLight(drawList, ImVec2(min.x + 1, min.y + 1), ImVec2(max.x - 1, max.y - 1), accent, magenta,
               79.0f * static_cast<float>(node.id), (selected || hovered) ? 145.0f : 66.0f, selected ? 92.0f : 58.0f);

  drawList->AddLine(ImVec2(min.x + 14, min.y + 7), ImVec2(min.x + 35, min.y + 7), withAlpha(accent, 0.55f), 1.1f);
  drawList->AddLine(ImVec2(max.x - 34, max.y - 7), ImVec2(max.x - 14, max.y - 7), withAlpha(accent, 0.30f), 1.0f);

  const ImVec2 barMin(min.x + 12, min.y + 1);
  const ImVec2 barMax(max.x - 12, min.y + 4.2f);
  drawList->AddRectFilledMultiColor(barMin, barMax, accent, lerpColor(accent, rgba(0.98f, 0.12f, 0.68f, 1.0f), 0.58f),
                                    rgba(1.0f, 0.34f, 0.08f, 0.9f), accent);
  glowLine(drawList, ImVec2(min.x + 12, min.y + 2.2f), ImVec2(max.x - 12, min.y + 3.0f), withAlpha(accent, 0.62f), 0.8f,
           2.5f);

  const ImVec2 iconCenter(min.x + 28, min.y + h / 2);
  radialGlow(drawList, iconCenter, selected ? 34.0f : 29.0f, withAlpha(accent, selected ? 0.88f : 0.64f), 7);
  fillCircle(drawList, iconCenter, 19.0f,
             darkTheme ? rgba(0.045f, 0.085f, 0.135f, 1.0f) : rgba(0.88f, 0.94f, 1.0f, 1.0f), 32);
  drawList->AddCircle(iconCenter, 19.0f, withAlpha(accent, 0.65f), 32, 1.0f);
  drawNodeIcon(drawList, node, iconCenter);

  const float textX = min.x + 55;
  const float textWidth = std::max(20.0f, w - 70.0f);
  const std::string displayName = clipText(node.name, textWidth);
  const std::string displayType = clipText(nodeTypeLabel(node.type), textWidth);
  const std::string displayValue = clipText(valueText, textWidth);
  drawList->AddText(ImVec2(textX, min.y + 13),
                    darkTheme ? rgba(0.93f, 0.96f, 1.0f, 1.0f) : rgba(0.07f, 0.12f, 0.20f, 1.0f), displayName.c_str());
  drawList->AddText(ImVec2(textX, min.y + 34),
                    darkTheme ? rgba(0.44f, 0.56f, 0.70f, 1.0f) : rgba(0.38f, 0.48f, 0.60f, 1.0f), displayType.c_str());
  if (!displayValue.empty()) drawList->AddText(ImVec2(textX, min.y + 55), accent, displayValue.c_str());

  const uint32_t green = rgba(0.20f, 0.93f, 0.68f, 1.0f);
  const uint32_t grey = rgba(0.35f, 0.40f, 0.47f, 1.0f);
  uint32_t status = node.enabled ? green : grey;
  if (node.type == static_cast<int32_t>(NodeType::PingProbe)) status = pingOnline ? green : red;
  if (node.type == static_cast<int32_t>(NodeType::PacketMeter)) status = cyan;
  if (node.type == static_cast<int32_t>(NodeType::Block)) status = node.enabled ? red : grey;
  const ImVec2 statusCenter(max.x - 12, min.y + 13);
  radialGlow(drawList, statusCenter, 10.0f, status, 4);
  fillCircle(drawList, statusCenter, 3.5f, status, 16);

  const ImVec2 inPort(min.x, min.y + h / 2);
  const ImVec2 outPort(max.x, min.y + h / 2);
  radialGlow(drawList, inPort, 11.0f, red, 4);
  fillCircle(drawList, inPort, 5.0f, red, 16);
  drawList->AddCircle(inPort, 5.0f, rgba(1.0f, 0.72f, 0.76f, 1.0f), 16, 1.0f);
  radialGlow(drawList, outPort, 11.0f, cyan, 4);
  fillCircle(drawList, outPort, 5.0f, rgba(0.018f, 0.025f, 0.035f, 1.0f), 16);
  drawList->AddCircle(outPort, 5.0f, cyan, 16, 1.4f);

  // Interaction. Cards overlap the canvas surface and each other; the card
  // submitted last under the mouse takes the click.
  ImGui::PushID(node.id);
  ImGui::SetCursorScreenPos(min);
  ImGui::SetNextItemAllowOverlap();
  ImGui::InvisibleButton("##Node", ImVec2(std::max(1.0f, w), std::max(1.0f, h)),
                         ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
  const bool wireMode = editMode == EditMode::WireOut || editMode == EditMode::WireIn;
  // The context menu below submits items of its own; read the card's state first.
  const bool leftClicked = ImGui::IsItemClicked(ImGuiMouseButton_Left);
  const bool buttonHovered = ImGui::IsItemHovered();
  const bool buttonActive = ImGui::IsItemActive();
  const bool buttonReleased = ImGui::IsItemDeactivated();

  if (leftClicked) {
    switch (editMode) {
      case EditMode::Select:
        selectedNodeId = node.id;
        dragOffset = Vec2f{mouse.x - min.x, mouse.y - min.y};
        break;
      case EditMode::Delete:
        pendingDeleteNodeId = node.id;
        break;
      case EditMode::WireOut:
      case EditMode::WireIn:
        if (wireStartNodeId == -1) {
          beginWire(node.id);
        } else {
          finishWire(node.id);
        }
        break;
    }
  }

  if (ImGui::BeginPopupContextItem("##NodeContext")) {
    selectedNodeId = node.id;
    if (ImGui::MenuItem(node.enabled ? "Disable" : "Enable")) {
      pushUndo();
      node.enabled = !node.enabled;
    }
    ImGui::Separator();
    if (ImGui::MenuItem("Delete")) pendingDeleteNodeId = node.id;
    ImGui::EndPopup();
  }

  if (buttonHovered) {
    if (editMode == EditMode::Select) ImGui::SetMouseCursor(ImGuiMouseCursor_ResizeAll);
    ImGui::BeginTooltip();
    ImGui::TextUnformatted(node.name.c_str());
    ImGui::TextDisabled("%s  /  ID %d", nodeTypeLabel(node.type), node.id);
    if (!valueText.empty()) ImGui::TextColored(ImGui::ColorConvertU32ToFloat4(accent), "%s", valueText.c_str());
    ImGui::Separator();
    ImGui::TextDisabled("Drag to move | Right-click for actions | Ctrl+D duplicate");
    ImGui::EndTooltip();
  }

  if (editMode == EditMode::Select && buttonActive && ImGui::IsMouseDown(ImGuiMouseButton_Left)) {
    selectedNodeId = node.id;
    Vec2f desired{mouse.x - canvasOrigin.x - dragOffset.x, mouse.y - canvasOrigin.y - dragOffset.y};
    if (snapToGrid) {
      desired.x = snapToStep(desired.x);
      desired.y = snapToStep(desired.y);
    }
    desired.x = std::clamp(desired.x, 0.0f, std::max(0.0f, canvasSize.x - w));
    desired.y = std::clamp(desired.y, 0.0f, std::max(0.0f, canvasSize.y - h));
    const bool moved =
        std::fabs(desired.x - node.position.x) > 0.01f || std::fabs(desired.y - node.position.y) > 0.01f;
    if (moved && !dragUndoArmed) {
      pushUndo();
      dragUndoArmed = true;
    }
    node.position = desired;
  }
  if (buttonReleased) dragUndoArmed = false;
  ImGui::PopID();

  if (hovered && wireMode) {
    drawList->AddRect(ImVec2(min.x - 3, min.y - 3), ImVec2(max.x + 3, max.y + 3), withAlpha(accent, 0.7f), 16.0f, 0,
                      2.0f);
  }
}

}  // namespace rivulo
