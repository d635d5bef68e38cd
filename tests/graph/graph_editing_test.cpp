#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/editor.h"

namespace rivulo {
namespace {

// A bare editor: no GUI context (text is 7 px a character), a large canvas and
// an empty log, so every test sees only the lines it caused.
class GraphEditing : public ::testing::Test {
 protected:
  GraphEditing() {
    editor.canvasSize = {2000.0f, 2000.0f};
    editor.eventLog.clear();
  }

  std::vector<std::string> log() const {
    std::vector<std::string> lines;
    for (const LogEntry& entry : editor.eventLog) lines.push_back(entry.text);
    return lines;
  }
  std::string lastLog() const { return editor.eventLog.empty() ? "" : editor.eventLog.back().text; }

  void wire(int32_t from, int32_t to, EditMode mode) {
    editor.editMode = mode;
    editor.beginWire(from);
    editor.finishWire(to);
  }

  Editor editor;
};

TEST_F(GraphEditing, AddNodeNamesSelectsAndLogs) {
  editor.addNode(NodeType::PC, 10, 10);
  editor.addNode(NodeType::Latency, 10, 10);
  editor.addNode(NodeType::Latency, 10, 10);
  ASSERT_EQ(editor.nodes.size(), 3u);
  EXPECT_EQ(editor.nodes[2].id, 3);
  EXPECT_EQ(editor.nodes[2].name, "Latency 3");
  EXPECT_EQ(editor.nodes[2].type, 5);
  // A new node keeps every parameter default, whatever its kind.
  EXPECT_EQ(editor.nodes[0].delayMs, 120.0f);
  EXPECT_EQ(editor.nodes[0].dropPercent, 10.0f);
  EXPECT_EQ(editor.selectedNodeId, 3);
  EXPECT_EQ(editor.nextNodeId, 4);
  EXPECT_EQ(log(), (std::vector<std::string>{"Added PC 1.", "Added Latency 2.", "Added Latency 3."}));
  EXPECT_EQ(editor.undoStack.size(), 3u);
}

TEST_F(GraphEditing, PlacementSnapsThenClampsWithTheDefaultCardSize) {
  struct Case {
    float x, y;
    bool snap;
    Vec2f canvas;
    Vec2f expected;
  };
  const Case cases[] = {
      {29, 31, true, {2000, 2000}, {20, 40}},
      {30, 50, true, {2000, 2000}, {40, 60}},  // halves round away from zero
      {-5, 500, false, {400, 300}, {0, 232}},
      {-5, 500, true, {400, 300}, {0, 232}},
      {395, 17.5f, false, {400, 300}, {290, 17.5f}},
      {80, 80, false, {50, 40}, {0, 0}},  // canvas smaller than a card
      {-31, -29, true, {2000, 2000}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " snap " << c.snap);
    editor.snapToGrid = c.snap;
    editor.canvasSize = c.canvas;
    editor.addNode(NodeType::Router, c.x, c.y);
    EXPECT_EQ(editor.nodes.back().position.x, c.expected.x);
    EXPECT_EQ(editor.nodes.back().position.y, c.expected.y);
  }
}

TEST_F(GraphEditing, WireRules) {
  for (int i = 0; i < 5; ++i) editor.addNode(NodeType::PC, 0, 0);
  editor.eventLog.clear();
  const size_t stepsBefore = editor.undoStack.size();

  wire(3, 5, EditMode::WireIn);
  wire(3, 5, EditMode::WireIn);
  wire(5, 3, EditMode::WireIn);
  wire(3, 5, EditMode::WireOut);
  wire(3, 3, EditMode::WireOut);
  wire(1, 2, EditMode::Select);  // any other mode draws an OUT wire

  EXPECT_EQ(log(), (std::vector<std::string>{
                       "Wire start set to node 3.", "Inbound wire: 3 -> 5.",
                       "Wire start set to node 3.", "That wire already exists.",
                       "Wire start set to node 5.", "Inbound wire: 5 -> 3.",
                       "Wire start set to node 3.", "Outbound wire: 3 -> 5.",
                       "Wire start set to node 3.", "Wire cancelled.",
                       "Wire start set to node 1.", "Outbound wire: 1 -> 2.",
                   }));
  ASSERT_EQ(editor.connections.size(), 4u);
  EXPECT_EQ(editor.connections[0].id, 1);
  EXPECT_EQ(editor.connections[0].direction, WireDirection::Inbound);
  EXPECT_EQ(editor.connections[2].direction, WireDirection::Outbound);
  EXPECT_EQ(editor.connections[3].id, 4);
  EXPECT_EQ(editor.nextConnectionId, 5);
  EXPECT_EQ(editor.wireStartNodeId, -1);
  EXPECT_EQ(editor.selectedNodeId, 1);  // the first click selects
  // Only the four real wires were undo steps.
  EXPECT_EQ(editor.undoStack.size(), stepsBefore + 4);

  // Finishing without a start does nothing rather than wiring to node -1.
  editor.eventLog.clear();
  editor.finishWire(2);
  EXPECT_TRUE(editor.eventLog.empty());
  EXPECT_EQ(editor.connections.size(), 4u);
}

TEST_F(GraphEditing, DeleteRemovesTheNodeAndEveryWireAtIt) {
  for (int i = 0; i < 4; ++i) editor.addNode(NodeType::PC, 0, 0);
  editor.createConnection(1, 3, WireDirection::Outbound);
  editor.createConnection(3, 2, WireDirection::Inbound);
  editor.createConnection(1, 2, WireDirection::Outbound);
  editor.createConnection(4, 3, WireDirection::Outbound);
  editor.wireStartNodeId = 4;
  editor.selectedNodeId = 3;
  editor.deleteSelectedNode();

  ASSERT_EQ(editor.nodes.size(), 3u);
  for (const Node& node : editor.nodes) EXPECT_NE(node.id, 3);
  ASSERT_EQ(editor.connections.size(), 1u);
  EXPECT_EQ(editor.connections[0].fromId, 1);
  EXPECT_EQ(editor.connections[0].toId, 2);
  EXPECT_EQ(editor.selectedNodeId, -1);
  EXPECT_EQ(editor.wireStartNodeId, -1);
  EXPECT_EQ(lastLog(), "Deleted node 3.");

  // Nothing selected: nothing happens, nothing is logged or recorded.
  const size_t lines = editor.eventLog.size(), steps = editor.undoStack.size();
  editor.deleteSelectedNode();
  editor.duplicateSelectedNode();
  EXPECT_EQ(editor.eventLog.size(), lines);
  EXPECT_EQ(editor.undoStack.size(), steps);
}

TEST_F(GraphEditing, DuplicateCopiesEverythingButIdNameAndPlace) {
  editor.addNode(NodeType::PC, 0, 0);
  editor.addNode(NodeType::Latency, 100, 50);
  Node& source = editor.nodes[1];
  source.delayMs = 333.0f;
  source.enabled = false;
  editor.nextNodeId = 7;
  editor.selectedNodeId = 2;
  editor.duplicateSelectedNode();

  ASSERT_EQ(editor.nodes.size(), 3u);
  const Node& copy = editor.nodes.back();
  EXPECT_EQ(copy.id, 7);
  EXPECT_EQ(copy.name, "Latency 2 Copy");
  EXPECT_EQ(copy.position.x, 120.0f);
  EXPECT_EQ(copy.position.y, 70.0f);
  EXPECT_EQ(copy.delayMs, 333.0f);
  EXPECT_FALSE(copy.enabled);
  EXPECT_EQ(editor.selectedNodeId, 7);
  EXPECT_EQ(editor.nextNodeId, 8);
  EXPECT_EQ(lastLog(), "Duplicated node 2 as node 7.");
}

TEST_F(GraphEditing, DuplicateClampsWithTheCopysMeasuredSize) {
  editor.canvasSize = {400, 300};
  editor.addNode(NodeType::Latency, 290, 232);  // bottom-right corner for a default card
  editor.duplicateSelectedNode();
  const Node& copy = editor.nodes.back();
  // "Latency 1 Copy" is 14 characters: 70 + 98 = 168 wide, and a value line makes it 86 high.
  EXPECT_EQ(copy.size.x, 168.0f);
  EXPECT_EQ(copy.size.y, 86.0f);
  EXPECT_EQ(copy.position.x, 400.0f - 168.0f);
  EXPECT_EQ(copy.position.y, 300.0f - 86.0f);
}

TEST_F(GraphEditing, ClearCanvasAndUndoOfIt) {
  editor.addNode(NodeType::PC, 0, 0);
  editor.addNode(NodeType::Router, 0, 0);
  editor.createConnection(1, 2, WireDirection::Outbound);
  editor.selectedNodeId = 2;
  editor.pendingDeleteNodeId = 1;
  editor.clearCanvas();
  EXPECT_TRUE(editor.nodes.empty());
  EXPECT_TRUE(editor.connections.empty());
  EXPECT_EQ(editor.selectedNodeId, -1);
  EXPECT_EQ(editor.pendingDeleteNodeId, -1);
  EXPECT_EQ(lastLog(), "Canvas cleared. Use Undo to restore it.");

  const size_t steps = editor.undoStack.size();
  editor.clearCanvas();
  EXPECT_EQ(lastLog(), "Canvas is already empty.");
  EXPECT_EQ(editor.undoStack.size(), steps);

  editor.undo();
  EXPECT_EQ(editor.nodes.size(), 2u);
  EXPECT_EQ(editor.connections.size(), 1u);
  EXPECT_EQ(editor.nextNodeId, 3);
  EXPECT_EQ(editor.nextConnectionId, 2);

  editor.clearCanvas();
  editor.addNode(NodeType::Cloud, 0, 0);
  EXPECT_EQ(editor.nodes.back().id, 1);
}

TEST_F(GraphEditing, ClearingStopsARunningSimulationFirst) {
  editor.addNode(NodeType::PC, 0, 0);
  editor.simulationActive = true;
  editor.eventLog.clear();
  editor.clearCanvas();
  EXPECT_FALSE(editor.simulationActive);
  EXPECT_EQ(log(), (std::vector<std::string>{"Simulation stopped. Timer paused and held packets were flushed.",
                                             "Canvas cleared. Use Undo to restore it."}));
}

TEST_F(GraphEditing, ValueLabelsAndCardSizes) {
  struct Case {
    NodeType type;
    void (*tweak)(Node&);
    const char* label;
    float width, height;
  };
  auto none = [](Node&) {};
  const Case cases[] = {
      {NodeType::Latency, [](Node& n) { n.jitterMs = 40; }, "120 ms", 132, 86},
      {NodeType::Drop, [](Node& n) { n.dropPercent = 12.25f; }, "LOSS 12.2%", 140, 86},
      {NodeType::Jitter, [](Node& n) { n.jitterMs = 33.5f; }, "JITTER 34 ms", 154, 86},
      {NodeType::Throttle, none, "1000 KB/s", 133, 86},
      {NodeType::HoldGate, none, "HOLD 5000 ms", 154, 86},
      {NodeType::Burst, none, "BURST 250 ms", 154, 86},
      {NodeType::Duplicate, none, "DUP 5.0%", 133, 86},
      {NodeType::NthDrop, [](Node& n) { n.dropEveryNth = -3; }, "EVERY -3", 132, 86},
      {NodeType::Block, none, "BLOCK 100%", 140, 86},
      {NodeType::Block, [](Node& n) { n.enabled = false; }, "DISABLED", 132, 86},
      {NodeType::PingProbe, none, "PING N/A", 140, 86},
      {NodeType::PacketMeter, none, "IN 0/s  OUT 0/s", 175, 86},
      {NodeType::Router, none, "", 132, 72},
      {NodeType::Note, none, "", 132, 76},
      {NodeType::Note, [](Node& n) { n.name = std::string(40, 'n'); }, "", 280, 76},
      {NodeType::PC, [](Node& n) { n.name = "x"; }, "", 132, 72},
      {static_cast<NodeType>(42), none, "", 132, 72},
  };
  for (const Case& c : cases) {
    Node node;
    node.type = static_cast<int32_t>(c.type);
    node.name = "Name 12";
    c.tweak(node);
    SCOPED_TRACE(c.label);
    EXPECT_EQ(editor.nodeValueLabel(node), c.label);
    editor.refreshNodeSize(node);
    EXPECT_EQ(node.size.x, c.width);
    EXPECT_EQ(node.size.y, c.height);
  }
}

TEST_F(GraphEditing, DiagnosticLabelsFollowTheMonitor) {
  Node probe;
  probe.type = static_cast<int32_t>(NodeType::PingProbe);
  editor.pingOnline = true;
  editor.pingMs = 23.6f;
  EXPECT_EQ(editor.nodeValueLabel(probe), "PING 24 ms");
  Node meter;
  meter.type = static_cast<int32_t>(NodeType::PacketMeter);
  editor.rateIn = 12.4f;
  editor.rateOut = 1500.0f;
  EXPECT_EQ(editor.nodeValueLabel(meter), "IN 12/s  OUT 1500/s");
  // Far out-of-range values are cut, not overrun.
  Node latency;
  latency.type = static_cast<int32_t>(NodeType::Latency);
  latency.delayMs = 3e38f;
  EXPECT_LE(editor.nodeValueLabel(latency).size(), 95u);
}

TEST_F(GraphEditing, IdCountersStopAtTheTopOfTheRange) {
  editor.nextNodeId = INT32_MAX;
  editor.addNode(NodeType::PC, 0, 0);
  editor.addNode(NodeType::PC, 0, 0);
  EXPECT_EQ(editor.nodes.back().id, INT32_MAX);
  EXPECT_EQ(editor.nextNodeId, INT32_MAX);
}

}  // namespace
}  // namespace rivulo
