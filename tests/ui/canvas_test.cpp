// The canvas and its cards driven through the real frame: clicks, drags,
// wiring, shortcuts, the library drop and the toolbar.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/editor.h"
#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

using test::UiHarness;

class CanvasTest : public ::testing::Test {
 protected:
  void SetUp() override { ui.frame(2); }

  // Adds a node at a canvas position and forgets the history it made.
  int32_t add(NodeType type, float x, float y) {
    ed.addNode(type, x, y);
    ed.selectedNodeId = -1;
    ed.undoStack.clear();
    ui.frame();
    return ed.nodes.back().id;
  }
  ImVec2 at(float x, float y) const { return ImVec2(ed.canvasOrigin.x + x, ed.canvasOrigin.y + y); }
  ImVec2 centreOf(int32_t id) {
    const Node* node = ed.findNode(id);
    EXPECT_NE(node, nullptr);
    return node ? at(node->position.x + node->size.x / 2, node->position.y + node->size.y / 2) : ImVec2();
  }

  UiHarness ui;
  Editor& ed = ui.editor();
};

TEST_F(CanvasTest, ClickOnACardSelectsAndOnEmptyCanvasDeselectsOnlyInSelectMode) {
  const int32_t a = add(NodeType::PC, 200, 200);
  add(NodeType::Router, 500, 200);
  ui.click(centreOf(a));
  EXPECT_EQ(ed.selectedNodeId, a);
  EXPECT_TRUE(ed.undoStack.empty()) << "a click without movement is no edit";

  for (EditMode mode : {EditMode::WireOut, EditMode::WireIn, EditMode::Delete}) {
    ed.editMode = mode;
    ui.click(at(700, 420));
    EXPECT_EQ(ed.selectedNodeId, a);
  }
  EXPECT_EQ(ed.nodes.size(), 2u);
  ed.editMode = EditMode::Select;
  ui.click(at(700, 420));
  EXPECT_EQ(ed.selectedNodeId, -1);
}

TEST_F(CanvasTest, DragMovesSnapsAndClampsInOneUndoStep) {
  const struct {
    bool snap;
    ImVec2 by;
    Vec2f expected;  // (-1, -1): the far corner the card may reach
  } cases[] = {
      {false, {37, 23}, {237, 223}},
      {true, {37, 23}, {240, 220}},
      {false, {-500, -500}, {0, 0}},
      {false, {2000, 2000}, {-1, -1}},
  };
  for (const auto& c : cases) {
    ed.nodes.clear();
    ed.snapToGrid = c.snap;
    const int32_t id = add(NodeType::Latency, 200, 200);
    const ImVec2 from = centreOf(id);
    ui.drag(from, ImVec2(from.x + c.by.x, from.y + c.by.y));
    const Node& node = *ed.findNode(id);
    Vec2f expected = c.expected;
    if (expected.x < 0) expected = {ed.canvasSize.x - node.size.x, ed.canvasSize.y - node.size.y};
    EXPECT_FLOAT_EQ(node.position.x, expected.x) << c.by.x;
    EXPECT_FLOAT_EQ(node.position.y, expected.y) << c.by.x;
    EXPECT_EQ(ed.selectedNodeId, id);
    ASSERT_EQ(ed.undoStack.size(), 1u) << c.by.x;
    EXPECT_FALSE(ed.dragUndoArmed);
    ed.undo();
    EXPECT_FLOAT_EQ(ed.nodes.front().position.x, 200);
    EXPECT_FLOAT_EQ(ed.nodes.front().position.y, 200);
    ui.frame(30);  // keep the next press from being a double click
  }
}

TEST_F(CanvasTest, DeleteModeClickRemovesTheCardAfterTheCardsAreDrawn) {
  const int32_t a = add(NodeType::PC, 200, 200);
  const int32_t b = add(NodeType::Router, 500, 200);
  ed.connections.push_back({1, a, b, WireDirection::Outbound});
  ed.editMode = EditMode::Delete;
  ui.click(centreOf(a));
  ASSERT_EQ(ed.nodes.size(), 1u);
  EXPECT_EQ(ed.nodes.front().id, b);
  EXPECT_TRUE(ed.connections.empty());
  EXPECT_EQ(ed.selectedNodeId, -1);
  EXPECT_EQ(ed.pendingDeleteNodeId, -1);
  EXPECT_EQ(ui.logCount("Deleted node " + std::to_string(a) + "."), 1);
}

TEST_F(CanvasTest, TwoClicksInAWireModeMakeAWireOfThatDirection) {
  const struct {
    EditMode mode;
    WireDirection direction;
    const char* word;
  } cases[] = {{EditMode::WireOut, WireDirection::Outbound, "Outbound"},
               {EditMode::WireIn, WireDirection::Inbound, "Inbound"}};
  for (const auto& c : cases) {
    ed.nodes.clear();
    ed.connections.clear();
    const int32_t a = add(NodeType::PC, 200, 200);
    const int32_t b = add(NodeType::Router, 500, 300);
    ed.editMode = c.mode;
    ui.click(centreOf(a));
    EXPECT_EQ(ed.wireStartNodeId, a);
    ui.moveMouse(at(400, 420));  // the preview follows the mouse
    ui.click(centreOf(b));
    ASSERT_EQ(ed.connections.size(), 1u) << c.word;
    EXPECT_EQ(ed.connections[0].fromId, a);
    EXPECT_EQ(ed.connections[0].toId, b);
    EXPECT_EQ(ed.connections[0].direction, c.direction);
    EXPECT_EQ(ed.wireStartNodeId, -1);
    EXPECT_EQ(ui.lastLog(), std::string(c.word) + " wire: " + std::to_string(a) + " -> " + std::to_string(b) + ".");
    ui.frame(30);
  }
}

TEST_F(CanvasTest, RightClickSelectsInEveryModeWithoutWiringOrDeleting) {
  const int32_t a = add(NodeType::PC, 200, 200);
  const int32_t b = add(NodeType::Block, 500, 200);
  for (EditMode mode : {EditMode::Select, EditMode::WireOut, EditMode::WireIn, EditMode::Delete}) {
    ed.editMode = mode;
    ed.selectedNodeId = a;
    ui.click(centreOf(b), 1);
    ui.frame();
    EXPECT_EQ(ed.selectedNodeId, b) << static_cast<int>(mode);
    EXPECT_EQ(ed.wireStartNodeId, -1);
    EXPECT_EQ(ed.nodes.size(), 2u);
    EXPECT_TRUE(ed.connections.empty());
    ui.tapKey(ImGuiKey_Escape);  // closes the menu
    ui.frame(30);
  }
}

TEST_F(CanvasTest, ContextMenuTogglesEnabledAsOneSilentUndoStepAndDeletes) {
  const int32_t a = add(NodeType::Block, 300, 200);
  const size_t lines = ed.eventLog.size();
  ui.click(centreOf(a), 1);
  ui.click(ui.itemCenter("Disable"));
  EXPECT_FALSE(ed.findNode(a)->enabled);
  EXPECT_EQ(ed.undoStack.size(), 1u);
  EXPECT_EQ(ed.eventLog.size(), lines);
  ui.frame(30);
  ui.click(centreOf(a), 1);
  ui.click(ui.itemCenter("Delete"));
  EXPECT_TRUE(ed.nodes.empty());
}

TEST_F(CanvasTest, EscapeCancelsAStartedWireOnce) {
  const int32_t a = add(NodeType::PC, 200, 200);
  ui.tapKey(ImGuiKey_Escape);
  EXPECT_FALSE(ui.logContains("Wire cancelled."));
  ed.editMode = EditMode::WireIn;
  ui.click(centreOf(a));
  ASSERT_EQ(ed.wireStartNodeId, a);
  ui.tapKey(ImGuiKey_Escape);
  ui.tapKey(ImGuiKey_Escape);
  EXPECT_EQ(ed.wireStartNodeId, -1);
  EXPECT_EQ(ed.editMode, EditMode::WireIn);
  EXPECT_EQ(ui.logCount("Wire cancelled."), 1);
}

TEST_F(CanvasTest, DeleteKeyRemovesTheSelectionOnlyInSelectMode) {
  const int32_t a = add(NodeType::PC, 200, 200);
  ed.editMode = EditMode::WireOut;
  ed.selectedNodeId = a;
  ui.tapKey(ImGuiKey_Delete);
  EXPECT_EQ(ed.nodes.size(), 1u);
  ed.editMode = EditMode::Select;
  ui.tapKey(ImGuiKey_Delete);
  EXPECT_TRUE(ed.nodes.empty());
}

TEST_F(CanvasTest, CtrlShortcutsActButStaySilentWhileTextIsTyped) {
  const std::string path = ::testing::TempDir() + "rivulo_canvas_shortcut.lwv";
  std::snprintf(ed.projectPath, sizeof(ed.projectPath), "%s", path.c_str());
  const int32_t a = add(NodeType::Latency, 200, 200);
  ed.selectedNodeId = a;

  ui.tapKey(ImGuiKey_D, ImGuiKey_LeftCtrl);
  ASSERT_EQ(ed.nodes.size(), 2u);
  EXPECT_EQ(ed.nodes.back().name, "Latency 1 Copy");
  ui.tapKey(ImGuiKey_Z, ImGuiKey_LeftCtrl);
  EXPECT_EQ(ed.nodes.size(), 1u);
  ui.tapKey(ImGuiKey_Z, ImGuiKey_LeftCtrl, ImGuiKey_LeftShift);
  EXPECT_EQ(ed.nodes.size(), 2u);
  ui.tapKey(ImGuiKey_Z, ImGuiKey_LeftCtrl);
  ui.tapKey(ImGuiKey_Y, ImGuiKey_LeftCtrl);
  EXPECT_EQ(ed.nodes.size(), 2u);
  ui.tapKey(ImGuiKey_S, ImGuiKey_LeftCtrl);
  EXPECT_TRUE(ui.logContains(path));

  // While the Name field takes text, none of them acts; Delete still does.
  ed.undoStack.clear();
  ed.redoStack.clear();
  ed.pushUndo();
  ed.selectedNodeId = a;
  ui.frame();
  ui.click(ui.itemCenter("Name"));
  ASSERT_TRUE(ImGui::GetIO().WantTextInput);
  const size_t lines = ed.eventLog.size();
  for (ImGuiKey key : {ImGuiKey_D, ImGuiKey_Z, ImGuiKey_Y, ImGuiKey_S}) ui.tapKey(key, ImGuiKey_LeftCtrl);
  ui.tapKey(ImGuiKey_Z, ImGuiKey_LeftCtrl, ImGuiKey_LeftShift);
  EXPECT_EQ(ed.nodes.size(), 2u);
  EXPECT_EQ(ed.undoStack.size(), 1u);
  EXPECT_EQ(ed.eventLog.size(), lines);
  ui.tapKey(ImGuiKey_Delete);
  EXPECT_EQ(ed.nodes.size(), 1u);
}

TEST_F(CanvasTest, LibraryPayloadDroppedOnTheCanvasAddsANode) {
  const struct {
    const char* payloadType;
    int32_t kind;
    bool snap;
    ImVec2 mouse;
    size_t nodes;
    Vec2f position;
  } cases[] = {
      {"LINKWEAVE_NODE", 8, false, {60, 40}, 1, {5, 6}},
      {"LINKWEAVE_NODE", 8, true, {95, 75}, 1, {40, 40}},
      {"SOMETHING_ELSE", 8, false, {60, 40}, 0, {}},
      {"LINKWEAVE_NODE", 21, false, {60, 40}, 0, {}},  // no such kind
  };
  for (const auto& c : cases) {
    ed.nodes.clear();
    ed.snapToGrid = c.snap;
    bool dragging = true;
    ui.beforeDraw = [&dragging, &c] {
      if (!dragging) return;
      if (ImGui::BeginDragDropSource(ImGuiDragDropFlags_SourceExtern)) {
        ImGui::SetDragDropPayload(c.payloadType, &c.kind, sizeof(c.kind));
        ImGui::EndDragDropSource();
      }
    };
    ui.moveMouse(at(c.mouse.x + 30, c.mouse.y + 30));
    ui.pressMouse();
    ui.moveMouse(at(c.mouse.x, c.mouse.y));
    ui.releaseMouse();
    dragging = false;
    ui.frame();
    ui.beforeDraw = nullptr;
    ASSERT_EQ(ed.nodes.size(), c.nodes) << c.payloadType << " " << c.kind;
    if (c.nodes == 0) continue;
    EXPECT_EQ(ed.nodes[0].type, c.kind);
    EXPECT_FLOAT_EQ(ed.nodes[0].position.x, c.position.x);
    EXPECT_FLOAT_EQ(ed.nodes[0].position.y, c.position.y);
    EXPECT_EQ(ed.selectedNodeId, ed.nodes[0].id);
  }
}

TEST_F(CanvasTest, SnapGridSnapsEveryNodeAndRecordsOnlyRealChanges) {
  add(NodeType::PC, 30, 110);
  add(NodeType::PC, 50, 250);
  ui.click(ui.itemCenter("SNAP GRID"));
  ASSERT_TRUE(ed.snapToGrid);
  EXPECT_FLOAT_EQ(ed.nodes[0].position.x, 40);
  EXPECT_FLOAT_EQ(ed.nodes[0].position.y, 120);  // exact halves go away from zero
  EXPECT_FLOAT_EQ(ed.nodes[1].position.x, 60);
  EXPECT_FLOAT_EQ(ed.nodes[1].position.y, 260);
  EXPECT_EQ(ed.undoStack.size(), 1u);
  ed.nodes[0].position.x = 33;
  ui.click(ui.itemCenter("SNAP GRID"));
  EXPECT_FLOAT_EQ(ed.nodes[0].position.x, 40);
  EXPECT_EQ(ed.undoStack.size(), 1u);
  EXPECT_EQ(ui.logCount("Canvas movement: SNAP GRID (20 px)."), 2);

  ui.click(ui.itemCenter("FREE"));
  ui.click(ui.itemCenter("FREE"));
  EXPECT_FALSE(ed.snapToGrid);
  EXPECT_EQ(ed.undoStack.size(), 2u);
  EXPECT_EQ(ui.logCount("Canvas movement: FREE."), 2);
  ui.click(ui.itemCenter("UNDO"));
  EXPECT_TRUE(ed.snapToGrid);
}

TEST_F(CanvasTest, ToolbarUndoRedoAndClear) {
  ui.click(ui.itemCenter("UNDO"));  // disabled: nothing to undo
  EXPECT_FALSE(ui.logContains("Undo."));
  add(NodeType::PC, 200, 200);
  ui.click(ui.itemCenter("CLEAR"));
  EXPECT_TRUE(ed.nodes.empty());
  EXPECT_EQ(ui.lastLog(), "Canvas cleared. Use Undo to restore it.");
  ui.click(ui.itemCenter("UNDO"));
  EXPECT_EQ(ed.nodes.size(), 1u);
  ui.click(ui.itemCenter("REDO"));
  EXPECT_TRUE(ed.nodes.empty());
  ui.click(ui.itemCenter("REDO"));  // disabled again
  EXPECT_EQ(ui.logCount("Redo."), 1);
}

}  // namespace
}  // namespace rivulo
