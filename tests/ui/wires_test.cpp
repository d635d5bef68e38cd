#include "ui/wires.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "app/editor.h"

namespace rivulo {
namespace {

// Two 100 x 50 cards with centres at (100, 100) and (300, 100) unless moved.
class WireGeometry : public ::testing::Test {
 protected:
  WireGeometry() {
    editor.nodes = {card(1, 50, 75), card(2, 250, 75)};
  }

  static Node card(int32_t id, float x, float y) {
    Node n;
    n.id = id;
    n.position = {x, y};
    n.size = {100, 50};
    return n;
  }

  void wire(int32_t id, int32_t from, int32_t to, WireDirection d) { editor.connections.push_back({id, from, to, d}); }

  Editor editor;
};

TEST_F(WireGeometry, EdgePointLeavesTheCardRectangle) {
  const Node& n = editor.nodes[0];  // centre (100, 100), half sizes 50 x 25
  struct Case {
    Vec2f toward, expected;
  };
  const Case cases[] = {
      {{300, 100}, {150, 100}},  // right side
      {{-50, 100}, {50, 100}},   // left side
      {{100, 300}, {100, 125}},  // bottom
      {{100, 0}, {100, 75}},     // top
      {{200, 150}, {150, 125}},  // exactly through the corner
      {{400, 130}, {150, 105}},  // shallow: right side wins
      {{100, 100}, {100, 100}},  // toward the centre itself
  };
  for (const Case& c : cases) {
    Vec2f p = editor.edgePoint(n, c.toward);
    EXPECT_NEAR(p.x, c.expected.x, 1e-3) << c.toward.x << "," << c.toward.y;
    EXPECT_NEAR(p.y, c.expected.y, 1e-3) << c.toward.x << "," << c.toward.y;
  }
}

TEST_F(WireGeometry, LaneOffsetsSpreadAPairOfNodes) {
  struct Case {
    std::vector<Connection> wires;
    std::vector<float> offsets;  // per wire, in the order listed
  };
  const auto out = WireDirection::Outbound;
  const auto in = WireDirection::Inbound;
  const Case cases[] = {
      {{{1, 1, 2, out}}, {0.0f}},
      // A to B OUT first (its from is the lower id), then B to A IN.
      {{{1, 2, 1, in}, {2, 1, 2, out}}, {0.5f, -0.5f}},
      // Same orientation: IN before OUT.
      {{{1, 1, 2, out}, {2, 1, 2, in}}, {0.5f, -0.5f}},
      // Three: the middle one is straight; ids break the last tie.
      {{{5, 2, 1, out}, {3, 1, 2, out}, {4, 1, 2, in}}, {1.0f, 0.0f, -1.0f}},
  };
  for (const Case& c : cases) {
    editor.connections = c.wires;
    for (size_t i = 0; i < c.wires.size(); ++i) {
      LaneInfo lane = editor.laneInfo(c.wires[i]);
      EXPECT_FLOAT_EQ(lane.offset, c.offsets[i]) << "wire " << c.wires[i].id;
      // Both orientations share the normal of the low-to-high direction.
      EXPECT_FLOAT_EQ(lane.canonicalNormal.x, 0.0f);
      EXPECT_FLOAT_EQ(lane.canonicalNormal.y, 1.0f);
    }
  }
}

TEST_F(WireGeometry, OnePassLaneOffsetsMatchThePerWireScan) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> node(1, 5);
  std::uniform_int_distribution<int> direction(0, 1);
  for (int round = 0; round < 50; ++round) {
    editor.connections.clear();
    const int count = round % 12 + 1;
    for (int i = 0; i < count; ++i) {
      editor.connections.push_back({100 - i, node(random), node(random), static_cast<WireDirection>(direction(random))});
    }
    editor.nodes.clear();
    for (int id = 1; id <= 5; ++id) editor.nodes.push_back(card(id, 60.0f * id, 40.0f * (id % 2)));
    const std::vector<float> offsets = laneOffsets(editor.connections);
    for (size_t i = 0; i < editor.connections.size(); ++i) {
      EXPECT_FLOAT_EQ(offsets[i], editor.laneInfo(editor.connections[i]).offset) << "round " << round;
    }
  }
}

TEST_F(WireGeometry, CurvesBowToOppositeSidesAndSkipMissingEnds) {
  wire(1, 1, 2, WireDirection::Outbound);
  wire(2, 2, 1, WireDirection::Inbound);
  wire(3, 1, 99, WireDirection::Outbound);  // a stale end from a file
  WireCurve first, second, stale;
  ASSERT_TRUE(editor.wireCurve(editor.connections[0], first));
  ASSERT_TRUE(editor.wireCurve(editor.connections[1], second));
  EXPECT_FALSE(editor.wireCurve(editor.connections[2], stale));
  // Centres 200 apart: 19 px lanes, shift -9.5 and +9.5, ends moved 0.36 of it.
  EXPECT_NEAR(first.a.y, 100.0f - 0.36f * 9.5f, 1e-3);
  EXPECT_NEAR(second.a.y, 100.0f + 0.36f * 9.5f, 1e-3);
  EXPECT_NEAR(first.c1.y - first.a.y, -1.38f * 9.5f, 1e-3);
  EXPECT_NEAR(first.c1.x - first.a.x, 54.0f, 1e-3);  // bend 0.27 x 200
  // Stacked cards draw nothing.
  editor.nodes[1].position = editor.nodes[0].position;
  EXPECT_FALSE(editor.wireCurve(editor.connections[0], first));
}

TEST_F(WireGeometry, ArrowheadSitsAtTheDestinationBorder) {
  wire(1, 1, 2, WireDirection::Outbound);
  WireCurve w;
  ASSERT_TRUE(editor.wireCurve(editor.connections[0], w));
  ArrowHead arrow = arrowHeadAt(w);
  // A lone wire is straight from x 150 to x 250; at u = 0.992 its curve,
  // bent 54 px at both ends, is 1.28 px short of the border.
  EXPECT_NEAR(arrow.tip.x, 248.716f, 1e-3);
  EXPECT_NEAR(arrow.tip.y, 100.0f, 1e-3);
  EXPECT_NEAR(arrow.left.x, arrow.tip.x - 9.0f, 1e-3);
  EXPECT_NEAR(arrow.left.y, 100.0f + 5.04f, 1e-3);
  EXPECT_NEAR(arrow.right.y, 100.0f - 5.04f, 1e-3);
}

}  // namespace
}  // namespace rivulo
