#include "ui/draw_kit.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>

#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

TEST(DrawKit, ColourPacking) {
  EXPECT_EQ(rgba(0.5f, 0.5f, 0.5f, 1.0f), 0xFF808080u);
  EXPECT_EQ(rgba(1.0f, 0.0f, 0.0f, 1.0f), 0xFF0000FFu);  // red in the low byte
  EXPECT_EQ(rgba(-1.0f, 2.0f, 0.0f, 0.0f), 0x0000FF00u);  // clamped
  EXPECT_EQ(withAlpha(rgba(1, 0, 0, 0.5f), 4.0f) >> 24, 255u);
  EXPECT_EQ(withAlpha(rgba(1, 0, 0, 1.0f), 0.5f), rgba(1, 0, 0, 0.5f));
  EXPECT_EQ(lerpColor(rgba(0, 0, 0, 1), rgba(1, 1, 1, 1), 0.5f), rgba(0.5f, 0.5f, 0.5f, 1));
}

TEST(DrawKit, Vectors) {
  ImVec2 n = vecNormalize(ImVec2(3, 4));
  EXPECT_FLOAT_EQ(n.x, 0.6f);
  EXPECT_FLOAT_EQ(n.y, 0.8f);
  n = vecNormalize(ImVec2(0.0005f, 0));
  EXPECT_EQ(n.x, 0.0f);
  EXPECT_EQ(n.y, 0.0f);
  ImVec2 p0(0, 0), p1(0, 10), p2(10, 10), p3(10, 0);
  EXPECT_FLOAT_EQ(bezierPoint(p0, p1, p2, p3, 0.0f).x, 0.0f);
  EXPECT_FLOAT_EQ(bezierPoint(p0, p1, p2, p3, 1.0f).x, 10.0f);
  EXPECT_FLOAT_EQ(bezierPoint(p0, p1, p2, p3, 0.5f).y, 7.5f);
  EXPECT_FLOAT_EQ(bezierTangent(p0, p1, p2, p3, 0.0f).y, 30.0f);
}

TEST(DrawKit, PerimeterPointWalksClockwise) {
  struct Case {
    float d;
    ImVec2 expected;
  };
  const Case cases[] = {{3, {3, 0}}, {12, {10, 2}}, {17, {8, 5}}, {27, {0, 3}}, {-2, {0, 2}}, {33, {3, 0}}};
  for (const Case& c : cases) {
    ImVec2 p = perimeterPoint(ImVec2(0, 0), ImVec2(10, 5), c.d);
    EXPECT_FLOAT_EQ(p.x, c.expected.x) << c.d;
    EXPECT_FLOAT_EQ(p.y, c.expected.y) << c.d;
  }
}

TEST(DrawKit, LightThemeKeepsTheDarkValueOfDashedSlots) {
  ImGuiStyle style;
  applyThemeStyle(style, true);
  const ImVec4 scrollbar = style.Colors[ImGuiCol_ScrollbarGrab];
  const ImVec4 plot = style.Colors[ImGuiCol_PlotLines];
  applyThemeStyle(style, false);
  EXPECT_EQ(style.Colors[ImGuiCol_ScrollbarGrab].x, scrollbar.x);
  EXPECT_EQ(style.Colors[ImGuiCol_PlotLines].z, plot.z);
  EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_SliderGrabActive].x, 0.55f);
  EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_WindowBg].x, 0.925f);
  EXPECT_FLOAT_EQ(style.WindowRounding, 16.0f);
  EXPECT_FLOAT_EQ(style.FramePadding.y, 7.0f);
}

TEST(DrawKit, CachedCirclesDrawExactlyWhatTheLibraryDraws) {
  test::UiHarness ui;
  ui.frame();
  for (int segments : {3, 16, 20, 32, 48, 64, 90}) {
    ImDrawList library(ImGui::GetDrawListSharedData());
    ImDrawList ours(ImGui::GetDrawListSharedData());
    library._ResetForNewFrame();
    ours._ResetForNewFrame();
    library.PushClipRectFullScreen();
    ours.PushClipRectFullScreen();
    library.AddCircleFilled(ImVec2(123.25f, 77.5f), 17.3f, rgba(1, 0, 0, 0.5f), segments);
    fillCircle(&ours, ImVec2(123.25f, 77.5f), 17.3f, rgba(1, 0, 0, 0.5f), segments);
    ASSERT_EQ(library.VtxBuffer.Size, ours.VtxBuffer.Size) << segments;
    for (int i = 0; i < library.VtxBuffer.Size; ++i) {
      EXPECT_EQ(library.VtxBuffer[i].pos.x, ours.VtxBuffer[i].pos.x) << segments << " vertex " << i;
      EXPECT_EQ(library.VtxBuffer[i].pos.y, ours.VtxBuffer[i].pos.y) << segments << " vertex " << i;
      EXPECT_EQ(library.VtxBuffer[i].col, ours.VtxBuffer[i].col);
    }
  }
}

}  // namespace
}  // namespace rivulo
