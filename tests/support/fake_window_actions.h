#pragma once
// A window that only records what the top bar asks of it, and that can be
// told to be minimised or in the background. Its global mouse position
// follows the GUI mouse, shifted by where the window sits on screen.
#include <imgui.h>

#include <vector>

#include "app/window_actions.h"

namespace rivulo::test {

class FakeWindowActions final : public WindowActions {
 public:
  bool isMinimized() const override { return minimized; }
  bool isMaximized() const override { return maximized; }
  bool hasInputFocus() const override { return focused; }
  void minimize() override { ++minimizeCalls; }
  void maximize() override {
    ++maximizeCalls;
    maximized = true;
  }
  void restore() override {
    ++restoreCalls;
    maximized = false;
  }
  void requestClose() override { ++closeCalls; }
  ScreenPoint globalMousePosition() const override {
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    return ScreenPoint{rect.left + static_cast<int>(mouse.x), rect.top + static_cast<int>(mouse.y)};
  }
  bool leftButtonDown() const override { return ImGui::GetIO().MouseDown[0]; }
  ScreenRect windowRect() const override { return rect; }
  // The window does not really move, so the GUI mouse keeps its coordinates.
  void moveWindow(int x, int y) override { moves.push_back(ScreenPoint{x, y}); }

  bool minimized = false;
  bool maximized = false;
  bool focused = true;
  ScreenRect rect{100, 50, 1700, 950};
  int minimizeCalls = 0;
  int maximizeCalls = 0;
  int restoreCalls = 0;
  int closeCalls = 0;
  std::vector<ScreenPoint> moves;
};

}  // namespace rivulo::test
