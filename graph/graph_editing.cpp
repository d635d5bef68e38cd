// Editing operations on the graph: every change is one undo step and one log line.
#include "app/editor.h"
#include "graph/node_catalogue.h"

namespace rivulo {

Node* Editor::findNode(int32_t id) {
  for (Node& node : nodes) {
    if (node.id == id) return &node;
  }
  return nullptr;
}

const Node* Editor::findNode(int32_t id) const {
  for (const Node& node : nodes) {
    if (node.id == id) return &node;
  }
  return nullptr;
}

}  // namespace rivulo
