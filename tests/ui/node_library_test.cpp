#include "ui/node_library.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <set>
#include <string>
#include <vector>

#include "graph/node_catalogue.h"
#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

std::set<std::string> matching(const std::string& search) {
  std::set<std::string> names;
  for (const ToolboxCategory& category : kToolboxCategories) {
    for (const ToolboxEntry& entry : category.entries) {
      if (matchesSearch(search, entry.displayName, entry.description)) names.insert(entry.displayName);
    }
  }
  return names;
}

TEST(NodeLibrarySearch, MatchesLabelsAndDescriptions) {
  const std::set<std::string> drop = {"Drop", "Nth Drop", "Block"};  // Block by "drops" in its description
  EXPECT_EQ(matching("drop"), drop);
  EXPECT_EQ(matching("DrOp"), drop);
  EXPECT_EQ(matching("endpoint"),
            (std::set<std::string>{"Router", "PC", "Laptop", "Phone", "Server", "Internet", "Cloud"}));
  EXPECT_TRUE(matching("zzz-nothing").empty());
  EXPECT_EQ(matching("").size(), 21u);
  // No trimming: a trailing blank must itself occur in the text.
  EXPECT_EQ(matching("endpoint "), (std::set<std::string>{"Router", "Laptop"}));
  EXPECT_EQ(matching("ping"), (std::set<std::string>{"Ping Probe"}));
}

// Names of the tooltip windows shown in the last frame.
std::vector<std::string> shownTooltips() {
  std::vector<std::string> names;
  for (ImGuiWindow* window : ImGui::GetCurrentContext()->Windows) {
    if ((window->Flags & ImGuiWindowFlags_Tooltip) != 0 && window->Active && !window->Hidden) {
      names.push_back(window->Name);
    }
  }
  return names;
}

class NodeLibraryUi : public ::testing::Test {
 protected:
  NodeLibraryUi() { ui.frame(3); }
  // Tall enough for every tile to be on screen.
  test::UiHarness ui{ImVec2(1600, 1800)};
};

TEST_F(NodeLibraryUi, DraggingATileOntoTheCanvasAddsThatNode) {
  const ImVec2 tile = ui.itemCenter("Throttle");
  const Vec2f origin = ui.editor().canvasOrigin;
  const ImVec2 target(origin.x + 300, origin.y + 200);
  ui.drag(tile, target, 10);
  ASSERT_EQ(ui.editor().nodes.size(), 1u);
  const Node& node = ui.editor().nodes.front();
  EXPECT_EQ(node.type, static_cast<int32_t>(NodeType::Throttle));
  EXPECT_FLOAT_EQ(node.position.x, 300 - 55);
  EXPECT_FLOAT_EQ(node.position.y, 200 - 34);
  EXPECT_EQ(ui.lastLog(), "Added Throttle 1.");
}

TEST_F(NodeLibraryUi, ReleasingOverAnotherPanelAddsNothing) {
  ui.drag(ui.itemCenter("Latency"), ui.itemCenter("Clear"), 10);
  EXPECT_TRUE(ui.editor().nodes.empty());
  EXPECT_FALSE(ui.logContains("Added"));
}

TEST_F(NodeLibraryUi, TooltipShowsWhileHoveredOrPressedAndGivesWayToTheDragPreview) {
  const ImVec2 tile = ui.itemCenter("Throttle");
  ui.moveMouse(tile);
  ui.frame();
  EXPECT_EQ(shownTooltips(), std::vector<std::string>{"##Tooltip_00"});
  ui.pressMouse();
  ui.frame();
  EXPECT_EQ(shownTooltips(), std::vector<std::string>{"##Tooltip_00"});
  for (int step = 1; step <= 4; ++step) ui.moveMouse(ImVec2(tile.x + 10.0f * step, tile.y));
  const std::vector<std::string> dragging = shownTooltips();
  ASSERT_EQ(dragging.size(), 1u);
  EXPECT_EQ(dragging.front().rfind("##Tooltip_DragDrop", 0), 0u);
  ui.releaseMouse();
}

TEST_F(NodeLibraryUi, SearchAndCollapsedHeadersHideTiles) {
  ui.click(ui.itemCenter("##ToolboxSearch"));
  ui.typeText("drop");
  ui.frame(2);
  EXPECT_TRUE(ui.hasItem("Nth Drop"));
  EXPECT_FALSE(ui.hasItem("Latency"));
  EXPECT_TRUE(ui.hasItem("DEVICES"));  // a header stays even with nothing under it
  ui.click(ui.itemCenter("EFFECTS"));
  ui.frame(2);
  EXPECT_FALSE(ui.hasItem("Block"));  // matches, but its header is closed
  EXPECT_TRUE(ui.hasItem("Nth Drop"));
}

}  // namespace
}  // namespace rivulo
