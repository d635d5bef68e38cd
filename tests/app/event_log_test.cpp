#include <gtest/gtest.h>

#include "app/editor.h"
#include "app/frame_layout.h"
#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

TEST(EventLog, StartupWritesNineLinesAtTimeZero) {
  test::UiHarness ui;
  const auto& log = ui.editor().eventLog;
  ASSERT_EQ(log.size(), 9u);
  EXPECT_EQ(log.front().text, "interface ready.");
  EXPECT_EQ(log[1].text, "Live network monitor started. Default ping target: 8.8.8.8.");
  EXPECT_EQ(log.back().text, "v1.0.5 loaded Modules");
  for (const LogEntry& entry : log) EXPECT_EQ(formatLogLine(entry).substr(0, 10), "[0000.00] ");
}

TEST(EventLog, TrimsFrom401To301) {
  Editor editor;
  editor.eventLog.clear();
  for (int i = 1; i <= 401; ++i) editor.addLog("line " + std::to_string(i));
  ASSERT_EQ(editor.eventLog.size(), 301u);
  EXPECT_EQ(editor.eventLog.front().text, "line 101");
  EXPECT_EQ(editor.eventLog.back().text, "line 401");
}

TEST(EventLog, LineFormat) {
  EXPECT_EQ(formatLogLine({12.5, "hello"}), "[0012.50] hello");
  EXPECT_EQ(formatLogLine({12345.678, "x"}), "[12345.68] x");
}

TEST(EventLog, ClearEmptiesThePanelAndLogsNothing) {
  test::UiHarness ui;
  ui.frame(2);
  ui.click(ui.itemCenter("Clear"));
  EXPECT_TRUE(ui.editor().eventLog.empty());
}

TEST(FrameLayout, RegionSizesForAViewport) {
  PanelSizes small = panelSizesFor(720, 480);
  EXPECT_FLOAT_EQ(small.sidebarWidth, 184.0f);
  EXPECT_FLOAT_EQ(small.propertiesWidth, 258.0f);
  EXPECT_FLOAT_EQ(small.bottomHeight, 116.0f);
  PanelSizes mid = panelSizesFor(1200, 700);
  EXPECT_FLOAT_EQ(mid.sidebarWidth, 198.0f);
  EXPECT_FLOAT_EQ(mid.propertiesWidth, 282.0f);
  EXPECT_FLOAT_EQ(mid.bottomHeight, 133.0f);
  PanelSizes big = panelSizesFor(2400, 1400);
  EXPECT_FLOAT_EQ(big.sidebarWidth, 228.0f);
  EXPECT_FLOAT_EQ(big.propertiesWidth, 326.0f);
  EXPECT_FLOAT_EQ(big.bottomHeight, 168.0f);
  EXPECT_FLOAT_EQ(activityWidthFor(326, 700), 230.0f);
  EXPECT_FLOAT_EQ(activityWidthFor(326, 1000), 280.0f);
  EXPECT_FLOAT_EQ(activityWidthFor(258, 1000), 258.0f);
}

TEST(FrameLayout, TooSmallAViewportDrawsNothing) {
  test::UiHarness ui(ImVec2(319, 600));
  ui.frame(2);
  EXPECT_FALSE(ui.hasItem("Clear"));
  ui.setDisplaySize(ImVec2(320, 240));
  ui.frame(2);
  EXPECT_TRUE(ui.hasItem("Clear"));
}

}  // namespace
}  // namespace rivulo
