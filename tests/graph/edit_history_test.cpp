#include <gtest/gtest.h>

#include "app/editor.h"

namespace rivulo {
namespace {

class EditHistory : public ::testing::Test {
 protected:
  EditHistory() {
    editor.canvasSize = {2000.0f, 2000.0f};
    editor.eventLog.clear();
  }
  int logCount(const std::string& text) const {
    int count = 0;
    for (const LogEntry& entry : editor.eventLog) count += entry.text == text;
    return count;
  }
  Editor editor;
};

TEST_F(EditHistory, UndoAndRedoMoveOneStepAtATime) {
  for (int i = 0; i < 3; ++i) editor.addNode(NodeType::PC, 0, 0);
  editor.undo();
  editor.undo();
  EXPECT_EQ(editor.nodes.size(), 1u);
  EXPECT_EQ(editor.nextNodeId, 2);
  EXPECT_EQ(logCount("Undo."), 2);
  editor.redo();
  EXPECT_EQ(editor.nodes.size(), 2u);
  EXPECT_EQ(editor.nextNodeId, 3);
  EXPECT_EQ(logCount("Redo."), 1);
  EXPECT_EQ(editor.redoStack.size(), 1u);

  // A new step ends the redo branch.
  editor.addNode(NodeType::Router, 0, 0);
  EXPECT_TRUE(editor.redoStack.empty());
  const size_t lines = editor.eventLog.size();
  editor.redo();
  EXPECT_EQ(editor.eventLog.size(), lines);  // nothing to redo: silent
  EXPECT_EQ(editor.nodes.size(), 3u);
}

TEST_F(EditHistory, EmptyStacksAreSilentNoOps) {
  editor.undo();
  editor.redo();
  EXPECT_TRUE(editor.eventLog.empty());
}

TEST_F(EditHistory, KeepsTheNewestEightySteps) {
  for (int i = 0; i < 81; ++i) editor.addNode(NodeType::PC, 0, 0);
  ASSERT_EQ(editor.undoStack.size(), 80u);
  // The oldest kept step is the graph after the first add.
  EXPECT_EQ(editor.undoStack.front().nodes.size(), 1u);
  while (!editor.undoStack.empty()) editor.undo();
  EXPECT_EQ(editor.nodes.size(), 1u);  // the empty start is gone
  EXPECT_EQ(editor.redoStack.size(), 80u);
}

TEST_F(EditHistory, UndoRestoresSnappingButNeverTheTheme) {
  editor.pushUndo();  // as the SNAP GRID button does before switching
  editor.snapToGrid = true;
  editor.darkTheme = false;
  editor.addNode(NodeType::PC, 0, 0);
  editor.beginWire(1);
  editor.pendingDeleteNodeId = 1;
  editor.dragUndoArmed = true;
  editor.propertyEditArmed = true;

  editor.undo();
  EXPECT_TRUE(editor.snapToGrid);
  EXPECT_EQ(editor.selectedNodeId, -1);
  EXPECT_EQ(editor.wireStartNodeId, -1);
  EXPECT_EQ(editor.pendingDeleteNodeId, -1);
  EXPECT_FALSE(editor.dragUndoArmed);
  EXPECT_FALSE(editor.propertyEditArmed);
  editor.undo();
  EXPECT_FALSE(editor.snapToGrid);
  EXPECT_FALSE(editor.darkTheme);
}

TEST_F(EditHistory, APropertyGestureIsOneStepHoldingTheStateBeforeIt) {
  editor.addNode(NodeType::Latency, 0, 0);
  const size_t steps = editor.undoStack.size();

  // Frame 1 grabs the slider, frames 2-4 change the value, frame 5 lets go.
  for (int frame = 1; frame <= 5; ++frame) {
    const EditSnapshot before = editor.captureSnapshot();
    if (frame > 1 && frame < 5) editor.nodes[0].delayMs += 10.0f;
    editor.trackPropertyEdit(before, frame == 1, frame == 5);
  }
  ASSERT_EQ(editor.undoStack.size(), steps + 1);
  EXPECT_FALSE(editor.propertyEditArmed);
  EXPECT_EQ(editor.nodes[0].delayMs, 150.0f);
  editor.undo();
  EXPECT_EQ(editor.nodes[0].delayMs, 120.0f);

  // Grabbed and released without an edit: nothing recorded.
  editor.trackPropertyEdit(editor.captureSnapshot(), true, false);
  editor.trackPropertyEdit(editor.captureSnapshot(), false, false);
  EXPECT_EQ(editor.undoStack.size(), steps);

  // An edit finished in the very frame it began records the widget's own "before".
  editor.propertyEditArmed = false;
  EditSnapshot before = editor.captureSnapshot();
  editor.nodes[0].name = "Edge";
  editor.trackPropertyEdit(before, false, true);
  ASSERT_EQ(editor.undoStack.size(), steps + 1);
  EXPECT_EQ(editor.undoStack.back().nodes[0].name, "Latency 1");
}

TEST_F(EditHistory, WithoutAGuiTheItemQueryVariantRecordsNothing) {
  editor.trackPropertyEdit(editor.captureSnapshot());
  EXPECT_TRUE(editor.undoStack.empty());
  EXPECT_FALSE(editor.propertyEditArmed);
}

}  // namespace
}  // namespace rivulo
