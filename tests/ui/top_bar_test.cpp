#include <gtest/gtest.h>

#include "app/editor.h"
#include "tests/support/fake_window_actions.h"
#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

using test::FakeWindowActions;
using test::UiHarness;

TEST(TopBar, ModeButtonsSetTheModeAndCancelAHalfDrawnWire) {
  UiHarness ui;
  ui.frame(2);
  const struct {
    const char* label;
    EditMode mode;
  } cases[] = {{"Out Wire", EditMode::WireOut}, {"In Wire", EditMode::WireIn}, {"Delete", EditMode::Delete},
               {"Select", EditMode::Select}, {"Select", EditMode::Select}};
  for (const auto& c : cases) {
    ui.editor().wireStartNodeId = 7;
    ui.click(ui.itemCenter(c.label));
    EXPECT_EQ(ui.editor().editMode, c.mode) << c.label;
    EXPECT_EQ(ui.editor().wireStartNodeId, -1) << c.label;
  }
}

TEST(TopBar, CompactWidthsBelow1180) {
  // The root window's padding takes 10 px on each side of the bar.
  const struct {
    float barWidth;
    float start, timer, indicatorFromRight, firstModeX;
  } cases[] = {{1179, 61, 70, 292, 160}, {1180, 72, 78, 322, 190}};
  for (const auto& c : cases) {
    UiHarness ui(ImVec2(c.barWidth + 20, 800));
    ui.frame(2);
    ImVec2 gripMin, gripMax, min, max;
    ASSERT_TRUE(ui.itemRect("##WindowDragGrip", gripMin, gripMax));
    const float barLeft = gripMin.x - 7;
    ASSERT_TRUE(ui.itemRect("Start", min, max));
    EXPECT_FLOAT_EQ(max.x - min.x, c.start) << c.barWidth;
    ASSERT_TRUE(ui.itemRect("00:00:00###SimulationTimer", min, max));
    EXPECT_FLOAT_EQ(max.x - min.x, c.timer) << c.barWidth;
    ASSERT_TRUE(ui.itemRect("IDLE", min, max));
    EXPECT_FLOAT_EQ(min.x - barLeft, c.barWidth - c.indicatorFromRight) << c.barWidth;
    ASSERT_TRUE(ui.itemRect("Select", min, max));
    EXPECT_FLOAT_EQ(min.x - barLeft, c.firstModeX) << c.barWidth;
  }
}

TEST(TopBar, ThemeButtonsSwitchAndLogEveryClick) {
  UiHarness ui;
  ui.frame(2);
  ui.click(ui.itemCenter("##LightTheme"));
  EXPECT_FALSE(ui.editor().darkTheme);
  ui.click(ui.itemCenter("##LightTheme"));
  EXPECT_EQ(ui.logCount("Theme switched to LIGHT."), 2);
  ui.click(ui.itemCenter("##DarkTheme"));
  EXPECT_TRUE(ui.editor().darkTheme);
  EXPECT_EQ(ui.lastLog(), "Theme switched to DARK.");
}

TEST(TopBar, CustomFilterFieldShowsOnlyForCustomAndKeepsItsText) {
  UiHarness ui;
  ui.frame(2);
  EXPECT_FALSE(ui.hasItem("##CustomFilter"));
  ui.editor().filterMode = 6;
  ui.frame();
  ASSERT_TRUE(ui.hasItem("##CustomFilter"));
  ui.click(ui.itemCenter("##CustomFilter"));
  ui.typeText("udp");
  ui.editor().filterMode = 2;
  ui.frame();
  EXPECT_FALSE(ui.hasItem("##CustomFilter"));
  EXPECT_STREQ(ui.editor().customFilter, "udp");
}

struct WindowedUi {
  FakeWindowActions window;
  UiHarness ui{ImVec2(1600, 900), [this] {
                 EditorServices services;
                 services.window = &window;
                 return services;
               }()};
};

TEST(TopBar, GripMovesTheWindowOnlyPastThreeRestoredPixels) {
  WindowedUi w;
  w.ui.frame(2);
  const ImVec2 grip = w.ui.itemCenter("##WindowDragGrip");

  // A press that moves 2 px is a click, not a drag.
  w.ui.drag(grip, ImVec2(grip.x + 2, grip.y), 2);
  EXPECT_TRUE(w.window.moves.empty());

  // Half a second apart, so that two presses are never taken for a double click.
  w.ui.frame(30);
  w.ui.drag(grip, ImVec2(grip.x + 40, grip.y + 10), 4);
  EXPECT_FALSE(w.window.maximized);
  ASSERT_FALSE(w.window.moves.empty());
  EXPECT_EQ(w.window.moves.back().x, w.window.rect.left + 40);
  EXPECT_EQ(w.window.moves.back().y, w.window.rect.top + 10);

  // A maximised window stays put; a double click on the grip restores it.
  w.window.moves.clear();
  w.window.maximized = true;
  w.ui.frame(30);
  w.ui.drag(grip, ImVec2(grip.x + 40, grip.y + 10), 4);
  EXPECT_TRUE(w.window.moves.empty());
  w.ui.frame(30);
  w.ui.doubleClick(grip);
  EXPECT_FALSE(w.window.maximized);
  EXPECT_EQ(w.window.restoreCalls, 1);
  w.ui.frame(30);
  w.ui.doubleClick(grip);
  EXPECT_TRUE(w.window.maximized);
}

TEST(TopBar, WindowButtons) {
  WindowedUi w;
  w.ui.frame(2);
  w.ui.click(w.ui.itemCenter("##WinMin"));
  EXPECT_EQ(w.window.minimizeCalls, 1);
  w.ui.click(w.ui.itemCenter("##WinMax"));
  EXPECT_TRUE(w.window.maximized);
  w.ui.click(w.ui.itemCenter("##WinMax"));
  EXPECT_FALSE(w.window.maximized);
  w.ui.click(w.ui.itemCenter("##WinClose"));
  EXPECT_EQ(w.window.closeCalls, 1);
}

TEST(TopBar, WindowActionsAreSkippedWithoutAWindow) {
  UiHarness bare;
  bare.frame(2);
  for (const char* label : {"##WinMin", "##WinMax", "##WinClose"}) bare.click(bare.itemCenter(label));
  bare.drag(bare.itemCenter("##WindowDragGrip"), ImVec2(400, 300));
  EXPECT_FALSE(bare.editor().quitRequested());
}

}  // namespace
}  // namespace rivulo
