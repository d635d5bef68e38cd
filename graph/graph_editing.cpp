// Editing operations on the graph. Each change records one undo step before it
// touches anything and reports its outcome as one event-log line.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/editor.h"
#include "graph/node_catalogue.h"
#include "graph/text_measure.h"

namespace rivulo {

namespace {

constexpr float kGridStep = 20.0f;
// A new card is placed before the canvas has measured it.
constexpr Vec2f kDefaultCardSize{110.0f, 68.0f};
constexpr Vec2f kDuplicateOffset{20.0f, 20.0f};

float snapToGridStep(float value) { return std::round(value / kGridStep) * kGridStep; }

Vec2f placeCard(Vec2f wanted, Vec2f cardSize, Vec2f canvasSize, bool snap) {
  if (snap) wanted = {snapToGridStep(wanted.x), snapToGridStep(wanted.y)};
  wanted.x = std::clamp(wanted.x, 0.0f, std::max(0.0f, canvasSize.x - cardSize.x));
  wanted.y = std::clamp(wanted.y, 0.0f, std::max(0.0f, canvasSize.y - cardSize.y));
  return wanted;
}

// Hands out the next id. A loaded file may carry ids near the top of the
// range; the counter then stays at the top instead of overflowing.
int32_t takeId(int32_t& counter) {
  const int32_t id = counter;
  if (counter < std::numeric_limits<int32_t>::max()) ++counter;
  return id;
}

const char* directionWord(WireDirection direction) {
  return direction == WireDirection::Inbound ? "Inbound" : "Outbound";
}

}  // namespace

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

void Editor::addNode(NodeType type, float x, float y) {
  pushUndo();
  Node node;
  node.id = takeId(nextNodeId);
  node.type = static_cast<int32_t>(type);
  node.name = std::string(nodeTypeDisplayName(node.type)) + " " + std::to_string(node.id);
  node.position = placeCard({x, y}, kDefaultCardSize, canvasSize, snapToGrid);
  nodes.push_back(node);
  selectedNodeId = node.id;
  addLog("Added " + node.name + ".");
}

void Editor::deleteSelectedNode() {
  if (selectedNodeId == -1) return;
  pushUndo();
  const int32_t id = selectedNodeId;
  std::erase_if(nodes, [id](const Node& node) { return node.id == id; });
  std::erase_if(connections, [id](const Connection& wire) { return wire.fromId == id || wire.toId == id; });
  selectedNodeId = -1;
  wireStartNodeId = -1;
  addLog("Deleted node " + std::to_string(id) + ".");
}

void Editor::beginWire(int32_t nodeId) {
  wireStartNodeId = nodeId;
  selectedNodeId = nodeId;
  addLog("Wire start set to node " + std::to_string(nodeId) + ".");
}

void Editor::finishWire(int32_t nodeId) {
  // Without a start there is nothing to finish; a wire to node -1 would name
  // a node that does not exist.
  if (wireStartNodeId == -1) return;
  if (nodeId == wireStartNodeId) {
    wireStartNodeId = -1;
    addLog("Wire cancelled.");
    return;
  }
  const WireDirection direction =
      editMode == EditMode::WireIn ? WireDirection::Inbound : WireDirection::Outbound;
  createConnection(wireStartNodeId, nodeId, direction);
  wireStartNodeId = -1;
}

void Editor::createConnection(int32_t fromId, int32_t toId, WireDirection direction) {
  for (const Connection& wire : connections) {
    if (wire.fromId == fromId && wire.toId == toId && wire.direction == direction) {
      addLog("That wire already exists.");
      return;
    }
  }
  pushUndo();
  Connection wire;
  wire.id = takeId(nextConnectionId);
  wire.fromId = fromId;
  wire.toId = toId;
  wire.direction = direction;
  connections.push_back(wire);
  addLog(std::string(directionWord(direction)) + " wire: " + std::to_string(fromId) + " -> " +
         std::to_string(toId) + ".");
}

std::string Editor::nodeValueLabel(const Node& node) const {
  char text[96] = {};
  switch (static_cast<NodeType>(node.type)) {
    case NodeType::Latency:
      std::snprintf(text, sizeof(text), "%.0f ms", static_cast<double>(node.delayMs));
      break;
    case NodeType::Drop:
      std::snprintf(text, sizeof(text), "LOSS %.1f%%", static_cast<double>(node.dropPercent));
      break;
    case NodeType::Jitter:
      std::snprintf(text, sizeof(text), "JITTER %.0f ms", static_cast<double>(node.jitterMs));
      break;
    case NodeType::Throttle:
      std::snprintf(text, sizeof(text), "%.0f KB/s", static_cast<double>(node.limitKBps));
      break;
    case NodeType::HoldGate:
      std::snprintf(text, sizeof(text), "HOLD %.0f ms", static_cast<double>(node.holdMs));
      break;
    case NodeType::Burst:
      std::snprintf(text, sizeof(text), "BURST %.0f ms", static_cast<double>(node.burstMs));
      break;
    case NodeType::Duplicate:
      std::snprintf(text, sizeof(text), "DUP %.1f%%", static_cast<double>(node.duplicatePercent));
      break;
    case NodeType::NthDrop:
      std::snprintf(text, sizeof(text), "EVERY %d", node.dropEveryNth);
      break;
    case NodeType::Block:
      return node.enabled ? "BLOCK 100%" : "DISABLED";
    case NodeType::PingProbe:
      if (!pingOnline) return "PING N/A";
      std::snprintf(text, sizeof(text), "PING %.0f ms", static_cast<double>(pingMs));
      break;
    case NodeType::PacketMeter:
      std::snprintf(text, sizeof(text), "IN %.0f/s  OUT %.0f/s", static_cast<double>(rateIn),
                    static_cast<double>(rateOut));
      break;
    default:
      break;
  }
  return text;
}

void Editor::refreshNodeSize(Node& node) const {
  const std::string value = nodeValueLabel(node);
  const float widest = std::max({measureTextWidth(node.name), measureTextWidth(nodeTypeLabel(node.type)),
                                 measureTextWidth(value)});
  // The card's text column starts 55 px in and stops 15 px short of the
  // right edge (the status light sits there), so a card is 70 px wider than
  // its widest text line; any less and that line is always cut short.
  node.size.x = std::clamp(70.0f + widest, 132.0f, 280.0f);
  if (node.type == static_cast<int32_t>(NodeType::Note)) {
    node.size.y = 76.0f;
  } else {
    node.size.y = value.empty() ? 72.0f : 86.0f;
  }
}

void Editor::duplicateSelectedNode() {
  const Node* source = findNode(selectedNodeId);
  if (source == nullptr) return;
  pushUndo();
  const int32_t sourceId = source->id;
  Node copy = *source;
  copy.id = takeId(nextNodeId);
  copy.name = source->name + " Copy";
  copy.position = {source->position.x + kDuplicateOffset.x, source->position.y + kDuplicateOffset.y};
  refreshNodeSize(copy);
  copy.position = placeCard(copy.position, copy.size, canvasSize, snapToGrid);
  nodes.push_back(copy);
  selectedNodeId = copy.id;
  addLog("Duplicated node " + std::to_string(sourceId) + " as node " + std::to_string(copy.id) + ".");
}

void Editor::clearCanvas() {
  if (nodes.empty() && connections.empty()) {
    addLog("Canvas is already empty.");
    return;
  }
  pushUndo();
  if (simulationActive) stopSimulation();
  nodes.clear();
  connections.clear();
  selectedNodeId = -1;
  wireStartNodeId = -1;
  pendingDeleteNodeId = -1;
  nextNodeId = 1;
  nextConnectionId = 1;
  addLog("Canvas cleared. Use Undo to restore it.");
}

}  // namespace rivulo
