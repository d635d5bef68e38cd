// The canvas: background, ambient light and grid, the input surface with its
// shortcuts and drop target, the cards and wires in their fixed order, the
// wire preview, the mode badge, the movement/history toolbar and the frame.
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "app/editor.h"
#include "graph/text_measure.h"
#include "ui/draw_kit.h"

namespace rivulo {

namespace {

constexpr float kGridStep = 20.0f;
constexpr float kCanvasRounding = 14.0f;
constexpr float kDropOffsetX = 55.0f;
constexpr float kDropOffsetY = 34.0f;
constexpr float kToolbarReserve = 374.0f;

float snapToStep(float v) { return std::round(v / kGridStep) * kGridStep; }

ImVec2 toImVec(Vec2f v) { return ImVec2(v.x, v.y); }

void drawGrid(ImDrawList* drawList, ImVec2 origin, ImVec2 canvasMax, bool dark) {
  const uint32_t minor = dark ? rgba(0.06f, 0.18f, 0.27f, 0.34f) : rgba(0.74f, 0.84f, 0.94f, 0.45f);
  const uint32_t major = dark ? rgba(0.06f, 0.55f, 0.72f, 0.22f) : rgba(0.45f, 0.70f, 0.88f, 0.55f);
  // Lines are counted, not accumulated, so every fifth line stays major on
  // wide canvases.
  for (int k = 0;; ++k) {
    const float x = origin.x + kGridStep * static_cast<float>(k);
    if (x > canvasMax.x) break;
    const bool isMajor = k % 5 == 0;
    drawList->AddLine(ImVec2(x, origin.y), ImVec2(x, canvasMax.y), isMajor ? major : minor, isMajor ? 1.0f : 0.55f);
  }
  for (int k = 0;; ++k) {
    const float y = origin.y + kGridStep * static_cast<float>(k);
    if (y > canvasMax.y) break;
    const bool isMajor = k % 5 == 0;
    drawList->AddLine(ImVec2(origin.x, y), ImVec2(canvasMax.x, y), isMajor ? major : minor, isMajor ? 1.0f : 0.55f);
  }
  if (!dark) return;
  const uint32_t scan = rgba(0.2f, 0.65f, 0.85f, 0.018f);
  for (int k = 0;; ++k) {
    const float y = origin.y + 8.0f + 12.0f * static_cast<float>(k);
    if (!(y < canvasMax.y)) break;
    drawList->AddLine(ImVec2(origin.x, y), ImVec2(canvasMax.x, y), scan, 1.0f);
  }
  const ImVec2 centre((origin.x + canvasMax.x) * 0.5f, (origin.y + canvasMax.y) * 0.5f);
  drawList->AddLine(ImVec2(centre.x, origin.y), ImVec2(centre.x, canvasMax.y), rgba(0.96f, 0.18f, 0.72f, 0.05f), 1.0f);
  drawList->AddLine(ImVec2(origin.x, centre.y), ImVec2(canvasMax.x, centre.y), rgba(0.05f, 0.83f, 0.98f, 0.05f), 1.0f);
}

void drawAmbientLight(ImDrawList* drawList, ImVec2 origin, ImVec2 canvasMax, ImVec2 size) {
  const float t = static_cast<float>(guiTime());
  const float w = size.x;
  const float h = size.y;
  radialGlow(drawList, ImVec2(origin.x + 0.12f * w, origin.y + 0.18f * h), 300.0f, rgba(0.05f, 0.83f, 1.0f, 0.38f), 10);
  radialGlow(drawList, ImVec2(origin.x + 0.83f * w, origin.y + 0.73f * h), 330.0f, rgba(0.96f, 0.12f, 0.68f, 0.34f),
             10);
  radialGlow(drawList, ImVec2(origin.x + 0.62f * w, origin.y + 0.08f * h), 190.0f, rgba(1.0f, 0.34f, 0.08f, 0.16f), 8);

  const float bandX = origin.x + std::fmod(95.0f * t, w + 260.0f) - 130.0f;
  drawList->AddRectFilledMultiColor(ImVec2(bandX - 45.0f, origin.y + 2.0f), ImVec2(bandX + 45.0f, canvasMax.y - 2.0f),
                                    rgba(0.05f, 0.83f, 1.0f, 0.0f), rgba(0.05f, 0.83f, 1.0f, 0.07f),
                                    rgba(0.96f, 0.12f, 0.68f, 0.025f), rgba(0.05f, 0.83f, 1.0f, 0.0f));

  const float scanY = origin.y + std::fmod(41.0f * t, h);
  glowLine(drawList, ImVec2(origin.x + 6.0f, scanY), ImVec2(canvasMax.x - 6.0f, scanY),
           rgba(0.96f, 0.12f, 0.68f, 0.16f), 0.7f, 3.0f);
}

void drawPreviewArrow(ImDrawList* drawList, ImVec2 from, ImVec2 to, uint32_t colour) {
  const ImVec2 delta = vecSub(to, from);
  const float length = vecLength(delta);
  if (length < 0.001f) return;
  const ImVec2 d = vecScale(delta, 1.0f / length);
  const ImVec2 n(-d.y, d.x);
  const ImVec2 c = vecAdd(from, vecScale(delta, 0.62f));
  const ImVec2 tip = vecAdd(c, vecScale(d, 8.0f));
  const ImVec2 base = vecSub(c, vecScale(d, 5.0f));
  drawList->AddTriangleFilled(tip, vecAdd(base, vecScale(n, 5.0f)), vecSub(base, vecScale(n, 5.0f)), colour);
}

}  // namespace

void Editor::drawCanvas() {
  ImGuiIO& io = ImGui::GetIO();
  ImDrawList* drawList = ImGui::GetWindowDrawList();

  // Geometry.
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  const ImVec2 available = ImGui::GetContentRegionAvail();
  canvasOrigin = Vec2f{origin.x, origin.y};
  canvasSize = Vec2f{std::max(1.0f, available.x), std::max(1.0f, available.y)};
  const ImVec2 size = toImVec(canvasSize);
  const ImVec2 canvasMax(origin.x + size.x, origin.y + size.y);

  // Background, ambient light, grid.
  drawList->AddRectFilled(origin, canvasMax,
                          darkTheme ? rgba(0.006f, 0.014f, 0.032f, 1.0f) : rgba(0.945f, 0.97f, 1.0f, 1.0f),
                          kCanvasRounding);
  if (darkTheme) drawAmbientLight(drawList, origin, canvasMax, size);
  drawGrid(drawList, origin, canvasMax, darkTheme);

  // Input surface; cards and toolbar submitted later win over it.
  ImGui::SetCursorScreenPos(origin);
  ImGui::SetNextItemAllowOverlap();
  const bool surfaceClicked = ImGui::InvisibleButton(
      "##Canvas", size, ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
  canvasHovered = ImGui::IsWindowHovered();
  if (surfaceClicked && ImGui::IsMouseReleased(ImGuiMouseButton_Left) && editMode == EditMode::Select) {
    selectedNodeId = -1;
  }

  // Keyboard. Escape and Delete act whatever has focus; the Ctrl
  // shortcuts stay away from a text field that is taking input.
  if (ImGui::IsKeyPressed(ImGuiKey_Escape, true)) {
    if (wireStartNodeId != -1) addLog("Wire cancelled.");
    wireStartNodeId = -1;
  }
  if (ImGui::IsKeyPressed(ImGuiKey_Delete, true) && selectedNodeId != -1 && editMode == EditMode::Select) {
    deleteSelectedNode();
  }
  if (!io.WantTextInput && io.KeyCtrl) {
    if (ImGui::IsKeyPressed(ImGuiKey_D, false) && selectedNodeId != -1) duplicateSelectedNode();
    if (ImGui::IsKeyPressed(ImGuiKey_S, false)) saveProject(std::string(projectPath));
    if (ImGui::IsKeyPressed(ImGuiKey_Z, false)) {
      if (io.KeyShift) {
        redo();
      } else {
        undo();
      }
    }
    if (ImGui::IsKeyPressed(ImGuiKey_Y, false)) redo();
  }

  // Drop target for the node library. The keyboard handling above submits
  // no item, so the surface is still the last one.
  if (ImGui::BeginDragDropTarget()) {
    if (const ImGuiPayload* payload = ImGui::AcceptDragDropPayload("LINKWEAVE_NODE")) {
      int32_t type = -1;
      if (payload->DataSize == static_cast<int>(sizeof(type))) std::memcpy(&type, payload->Data, sizeof(type));
      // Only kinds the catalogue knows become nodes.
      if (type >= 0 && type < kNodeTypeCount) {
        const ImVec2 mouse = io.MousePos;
        addNode(static_cast<NodeType>(type), mouse.x - origin.x - kDropOffsetX, mouse.y - origin.y - kDropOffsetY);
      }
    }
    ImGui::EndDragDropTarget();
  }

  // Card sizes, wires under the cards, cards in list order.
  for (Node& node : nodes) refreshNodeSize(node);
  drawWires(drawList);
  for (Node& node : nodes) drawNodeCard(drawList, node);

  // Deferred deletion: never while the list is being walked.
  if (pendingDeleteNodeId != -1) {
    selectedNodeId = pendingDeleteNodeId;
    pendingDeleteNodeId = -1;
    deleteSelectedNode();
  }

  // Packet flow above the cards.
  if (simulationActive) drawWireFlow(drawList);

  // Wire preview.
  const bool wireMode = editMode == EditMode::WireOut || editMode == EditMode::WireIn;
  if (wireStartNodeId != -1 && wireMode) {
    if (const Node* start = findNode(wireStartNodeId)) {
      const ImVec2 from(origin.x + start->position.x + start->size.x * 0.5f,
                        origin.y + start->position.y + start->size.y * 0.5f);
      const ImVec2 to = io.MousePos;
      const bool inbound = editMode == EditMode::WireIn;
      const uint32_t core = inbound ? rgba(0.98f, 0.30f, 0.42f, 1.0f) : rgba(0.03f, 0.04f, 0.06f, 1.0f);
      const uint32_t glow = inbound ? rgba(0.98f, 0.30f, 0.42f, 0.28f) : rgba(0.13f, 0.83f, 0.93f, 0.35f);
      drawList->AddLine(from, to, glow, 8.0f);
      drawList->AddLine(from, to, core, 2.4f);
      drawPreviewArrow(drawList, from, to, core);
    }
  }

  // Mode badge.
  {
    const char* title = "SELECT MODE";
    const char* hint = "Drag nodes   |   Ctrl+D duplicate   |   Ctrl+S save";
    uint32_t accent = rgba(0.08f, 0.83f, 1.0f, 1.0f);
    int glyph = 0;  // 0 arrow pointer, 1 wire, 2 cross
    switch (editMode) {
      case EditMode::Select:
        break;
      case EditMode::WireOut:
      case EditMode::WireIn:
        title = editMode == EditMode::WireOut ? "OUTBOUND WIRE" : "INBOUND WIRE";
        hint = wireStartNodeId == -1 ? "Choose the first node" : "Choose destination   |   Esc cancels";
        accent = editMode == EditMode::WireOut ? rgba(0.10f, 0.92f, 1.0f, 1.0f) : rgba(1.0f, 0.24f, 0.50f, 1.0f);
        glyph = 1;
        break;
      case EditMode::Delete:
        title = "DELETE MODE";
        hint = "Click a node to remove it";
        accent = rgba(1.0f, 0.28f, 0.36f, 1.0f);
        glyph = 2;
        break;
    }
    const uint32_t pink = rgba(0.96f, 0.18f, 0.72f, 1.0f);
    const float width = std::max({250.0f, measureTextWidth(title) + 58.0f, measureTextWidth(hint) + 58.0f});
    const ImVec2 cardMin(origin.x + 10.0f, origin.y + 10.0f);
    const ImVec2 cardMax(cardMin.x + width, cardMin.y + 48.0f);
    glowFrame(drawList, cardMin, cardMax, accent, 10.0f, darkTheme ? 0.38f : 0.18f);
    drawList->AddRectFilled(cardMin, cardMax,
                            darkTheme ? rgba(0.012f, 0.032f, 0.065f, 0.91f) : rgba(0.92f, 0.97f, 1.0f, 0.94f), 10.0f);
    drawList->AddRectFilledMultiColor(cardMin, ImVec2(cardMin.x + 4.0f, cardMax.y), accent, accent, pink, pink);
    drawList->AddRect(cardMin, cardMax, withAlpha(accent, 0.58f), 10.0f, 0, 1.0f);
    runningLight(drawList, ImVec2(cardMin.x + 1, cardMin.y + 1), ImVec2(cardMax.x - 1, cardMax.y - 1), accent, pink,
                 38.0f, 72.0f, 48.0f);
    const ImVec2 c(cardMin.x + 25.0f, cardMin.y + 24.0f);
    radialGlow(drawList, c, 19.0f, withAlpha(accent, 0.42f), 5);
    drawList->AddCircleFilled(c, 12.0f, darkTheme ? rgba(0.025f, 0.075f, 0.12f, 1.0f) : rgba(0.84f, 0.94f, 1.0f, 1.0f));
    drawList->AddCircle(c, 12.0f, accent, 24, 1.4f);
    auto at = [&c](float dx, float dy) { return ImVec2(c.x + dx, c.y + dy); };
    if (glyph == 0) {
      drawList->AddTriangleFilled(at(-5, -7), at(6, 1), at(1, 3), accent);
      drawList->AddLine(at(1, 3), at(4, 9), accent, 2.0f);
    } else if (glyph == 1) {
      drawList->AddCircleFilled(at(-5, 0), 2.7f, accent);
      drawList->AddCircleFilled(at(5, 0), 2.7f, accent);
      drawList->AddLine(at(-3, 0), at(3, 0), accent, 2.0f);
    } else {
      drawList->AddLine(at(-5, -5), at(5, 5), accent, 2.0f);
      drawList->AddLine(at(5, -5), at(-5, 5), accent, 2.0f);
    }
    drawList->AddText(ImVec2(cardMin.x + 47.0f, cardMin.y + 8.0f), accent, title);
    drawList->AddText(ImVec2(cardMin.x + 47.0f, cardMin.y + 27.0f), ImGui::GetColorU32(ImGuiCol_TextDisabled), hint);
  }

  // Toolbar.
  {
    ImGui::SetCursorScreenPos(ImVec2(std::max(canvasMax.x - kToolbarReserve, origin.x + 8.0f), origin.y + 7.0f));
    ImGui::PushID("CanvasMoveMode");
    const ImVec4 activeColour =
        darkTheme ? ImVec4(0.2f, 0.36f, 0.58f, 1.0f) : ImVec4(0.66f, 0.73f, 0.84f, 1.0f);

    // The highlight is decided before each button and popped by the same
    // decision, so a click that flips the mode keeps the colour stack balanced.
    const bool freeActive = !snapToGrid;
    if (freeActive) ImGui::PushStyleColor(ImGuiCol_Button, activeColour);
    if (ImGui::Button("FREE", ImVec2(58, 25))) {
      if (snapToGrid) pushUndo();
      snapToGrid = false;
      addLog("Canvas movement: FREE.");
    }
    if (freeActive) ImGui::PopStyleColor();

    ImGui::SameLine(0, 4);
    const bool snapActive = snapToGrid;
    if (snapActive) ImGui::PushStyleColor(ImGuiCol_Button, activeColour);
    if (ImGui::Button("SNAP GRID", ImVec2(92, 25))) {
      if (!snapToGrid) pushUndo();
      snapToGrid = true;
      for (Node& node : nodes) {
        node.position.x = std::clamp(snapToStep(node.position.x), 0.0f, std::max(0.0f, canvasSize.x - node.size.x));
        node.position.y = std::clamp(snapToStep(node.position.y), 0.0f, std::max(0.0f, canvasSize.y - node.size.y));
      }
      addLog("Canvas movement: SNAP GRID (20 px).");
    }
    if (snapActive) ImGui::PopStyleColor();

    ImGui::SameLine(0, 4);
    const bool undoDisabled = undoStack.empty();
    ImGui::BeginDisabled(undoDisabled);
    if (ImGui::Button("UNDO", ImVec2(54, 25))) undo();
    ImGui::EndDisabled();
    if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) ImGui::SetTooltip("Undo  Ctrl+Z");

    ImGui::SameLine(0, 4);
    const bool redoDisabled = redoStack.empty();
    ImGui::BeginDisabled(redoDisabled);
    if (ImGui::Button("REDO", ImVec2(54, 25))) redo();
    ImGui::EndDisabled();
    if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) ImGui::SetTooltip("Redo  Ctrl+Y / Ctrl+Shift+Z");

    ImGui::SameLine(0, 4);
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, ImVec4(0.72f, 0.07f, 0.16f, 0.96f));
    ImGui::PushStyleColor(ImGuiCol_Border, ImVec4(1.0f, 0.22f, 0.32f, 0.62f));
    if (ImGui::Button("CLEAR", ImVec2(56, 25))) clearCanvas();
    ImGui::PopStyleColor(2);
    if (ImGui::IsItemHovered()) ImGui::SetTooltip("Clear all nodes and wires. You can Undo it.");
    ImGui::PopID();
  }

  // Canvas frame over everything.
  {
    const uint32_t colour = darkTheme ? rgba(0.05f, 0.83f, 1.0f, 0.72f) : rgba(0.2f, 0.55f, 0.82f, 0.75f);
    const uint32_t colourB = darkTheme ? rgba(0.96f, 0.12f, 0.68f, 0.72f) : rgba(0.76f, 0.30f, 0.62f, 0.65f);
    glowFrame(drawList, origin, canvasMax, colour, kCanvasRounding, darkTheme ? 0.5f : 0.22f);
    drawList->AddRect(origin, canvasMax, withAlpha(colour, 0.55f), kCanvasRounding, 0, 1.0f);
    runningLight(drawList, ImVec2(origin.x + 1, origin.y + 1), ImVec2(canvasMax.x - 1, canvasMax.y - 1), colour,
                 colourB, 80.0f, 105.0f, 150.0f);
  }
}

}  // namespace rivulo
