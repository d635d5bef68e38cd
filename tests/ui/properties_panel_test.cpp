// The PROPERTIES tab: one undo step per gesture, and names kept whole.
#include <gtest/gtest.h>

#include <string>

#include "app/editor.h"
#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

using test::UiHarness;

class PropertiesPanelTest : public ::testing::Test {
 protected:
  void SetUp() override { ui.frame(2); }

  Node& select(NodeType type) {
    ed.addNode(type, 200, 200);
    ed.undoStack.clear();
    ui.frame(2);
    return ed.nodes.back();
  }

  UiHarness ui;
  Editor& ed = ui.editor();
};

TEST_F(PropertiesPanelTest, ADelayDragIsOneUndoStep) {
  select(NodeType::Latency);
  const ImVec2 from = ui.itemCenter("Delay (ms)");
  ui.drag(from, ImVec2(from.x + 180, from.y), 12);
  EXPECT_NEAR(ed.nodes.back().delayMs, 300.0f, 1.0f);
  ASSERT_EQ(ed.undoStack.size(), 1u);
  EXPECT_FALSE(ed.propertyEditArmed);
  ed.undo();
  EXPECT_FLOAT_EQ(ed.nodes.back().delayMs, 120.0f);
}

TEST_F(PropertiesPanelTest, ARenameTypedLetterByLetterIsOneUndoStep) {
  select(NodeType::PC);
  ui.click(ui.itemCenter("Name"));
  ui.typeText("-lab");
  ui.tapKey(ImGuiKey_Enter);
  EXPECT_EQ(ed.nodes.back().name, "PC 1-lab");
  ASSERT_EQ(ed.undoStack.size(), 1u);
  ed.undo();
  EXPECT_EQ(ed.nodes.back().name, "PC 1");
}

TEST_F(PropertiesPanelTest, ALongNameStaysWholeUntilItIsEdited) {
  Node& node = select(NodeType::Note);
  node.name = std::string(200, 'n');
  ui.click(ui.itemCenter("Name"));
  ui.tapKey(ImGuiKey_Enter);
  EXPECT_EQ(ed.nodes.back().name.size(), 200u);
  EXPECT_TRUE(ed.undoStack.empty());

  // The field only ever held the first 127 characters; an edit writes them back.
  ui.frame(30);
  ui.click(ui.itemCenter("Name"));
  ui.tapKey(ImGuiKey_End);
  ui.tapKey(ImGuiKey_Backspace);
  ui.tapKey(ImGuiKey_Enter);
  EXPECT_EQ(ed.nodes.back().name, std::string(126, 'n'));
  EXPECT_EQ(ed.undoStack.size(), 1u);
}

TEST_F(PropertiesPanelTest, DuplicateAndDeleteActOnTheSelection) {
  select(NodeType::Drop);
  ui.click(ui.itemCenter("Duplicate"));
  ASSERT_EQ(ed.nodes.size(), 2u);
  EXPECT_EQ(ed.selectedNodeId, ed.nodes.back().id);
  ui.frame(30);
  ui.click(ui.itemCenter("Delete node"));
  ui.frame();
  ASSERT_EQ(ed.nodes.size(), 1u);
  EXPECT_EQ(ed.selectedNodeId, -1);
  EXPECT_FALSE(ui.hasItem("Name"));
}

}  // namespace
}  // namespace rivulo
