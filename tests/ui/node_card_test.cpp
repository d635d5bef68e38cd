// Pure helpers of the node card. Without a GUI context every character
// measures 7 px, so the widths below are counted in characters.
#include "ui/node_card.h"

#include <gtest/gtest.h>

#include "graph/node.h"

namespace rivulo {
namespace {

TEST(NodeCard, ClipTextKeepsTheLongestPrefixThatFitsWithAnEllipsis) {
  const struct {
    const char* text;
    float width;
    const char* expected;
  } cases[] = {
      {"Router 1", 56, "Router 1"},       // fits exactly
      {"Router 1", 55, "Rout..."},        // 7 characters = 49 px
      {"ABCD", 27, "..."},                // not even one character before "..."
      {"ABCD", 20.9f, ""},                // "..." itself is 21 px
      {"ABCD", 1, ""},
      {"", 0.5f, ""},
      {"\xC3\x84\xC3\x84\xC3\x84", 35, "\xC3\x84..."},  // never half a UTF-8 letter
  };
  for (const auto& c : cases) EXPECT_EQ(clipText(c.text, c.width), c.expected) << c.text << " @ " << c.width;
}

TEST(NodeCard, AccentColourByKind) {
  const struct {
    int type;
    uint32_t expected;
  } cases[] = {
      {static_cast<int>(NodeType::Router), IM_COL32(34, 211, 238, 255)},
      {static_cast<int>(NodeType::Latency), IM_COL32(34, 211, 238, 255)},
      {static_cast<int>(NodeType::Block), IM_COL32(239, 68, 68, 255)},
      {static_cast<int>(NodeType::Note), IM_COL32(250, 204, 21, 255)},
      {static_cast<int>(NodeType::PacketMeter), IM_COL32(96, 165, 250, 255)},
      {21, IM_COL32(34, 211, 238, 255)},
      {-1, IM_COL32(34, 211, 238, 255)},
  };
  for (const auto& c : cases) EXPECT_EQ(nodeAccentColor(c.type), c.expected) << c.type;
}

TEST(NodeCard, PointInRectIncludesTheEdges) {
  const ImVec2 min(10, 20), max(30, 40);
  EXPECT_TRUE(pointInRect(ImVec2(10, 20), min, max));
  EXPECT_TRUE(pointInRect(ImVec2(30, 40), min, max));
  EXPECT_FALSE(pointInRect(ImVec2(30.01f, 30), min, max));
  EXPECT_FALSE(pointInRect(ImVec2(20, 19.99f), min, max));
}

}  // namespace
}  // namespace rivulo
