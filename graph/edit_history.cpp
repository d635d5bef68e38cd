// Undo and redo as whole snapshots of the graph. One user gesture (a drag, a
// rename, a slider pull) records exactly one step, taken before the change.
#include <imgui.h>

#include <cstddef>

#include "app/editor.h"

namespace rivulo {

namespace {
constexpr size_t kUndoLimit = 80;
}  // namespace

EditSnapshot Editor::captureSnapshot() const {
  EditSnapshot snapshot;
  snapshot.nodes = nodes;
  snapshot.connections = connections;
  snapshot.nextNodeId = nextNodeId;
  snapshot.nextConnectionId = nextConnectionId;
  snapshot.snapToGrid = snapToGrid;
  return snapshot;
}

void Editor::restoreSnapshot(const EditSnapshot& snapshot) {
  nodes = snapshot.nodes;
  connections = snapshot.connections;
  nextNodeId = snapshot.nextNodeId;
  nextConnectionId = snapshot.nextConnectionId;
  snapToGrid = snapshot.snapToGrid;
  // Ids named by the selection or a half-drawn wire may not exist any more.
  selectedNodeId = -1;
  wireStartNodeId = -1;
  pendingDeleteNodeId = -1;
  dragUndoArmed = false;
  propertyEditArmed = false;
}

void Editor::pushSnapshot(const EditSnapshot& snapshot) {
  undoStack.push_back(snapshot);
  if (undoStack.size() > kUndoLimit) {
    undoStack.erase(undoStack.begin(), undoStack.begin() + static_cast<std::ptrdiff_t>(undoStack.size() - kUndoLimit));
  }
  redoStack.clear();
}

void Editor::pushUndo() { pushSnapshot(captureSnapshot()); }

void Editor::undo() {
  if (undoStack.empty()) return;
  redoStack.push_back(captureSnapshot());
  EditSnapshot step = std::move(undoStack.back());
  undoStack.pop_back();
  restoreSnapshot(step);
  addLog("Undo.");
}

void Editor::redo() {
  if (redoStack.empty()) return;
  // Straight back onto the undo side: redo never loses the steps it came from.
  undoStack.push_back(captureSnapshot());
  EditSnapshot step = std::move(redoStack.back());
  redoStack.pop_back();
  restoreSnapshot(step);
  addLog("Redo.");
}

void Editor::trackPropertyEdit(const EditSnapshot& before, bool activated, bool deactivatedAfterEdit) {
  if (activated) {
    pendingPropertySnapshot = before;
    propertyEditArmed = true;
  }
  if (deactivatedAfterEdit) {
    pushSnapshot(propertyEditArmed ? pendingPropertySnapshot : before);
    propertyEditArmed = false;
  }
}

void Editor::trackPropertyEdit(const EditSnapshot& before) {
  if (ImGui::GetCurrentContext() == nullptr) return;
  trackPropertyEdit(before, ImGui::IsItemActivated(), ImGui::IsItemDeactivatedAfterEdit());
}

}  // namespace rivulo
