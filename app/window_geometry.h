#pragma once
// Sizes of the main window derived from the work area of the display under
// the mouse, and the resize-border hit test of the borderless window.
#include "app/window_actions.h"

namespace rivulo {

struct WindowGeometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

constexpr int kMinWindowWidth = 720;
constexpr int kMinWindowHeight = 480;
constexpr int kResizeBorder = 8;

// 96 % of the work area, at most 1500 x 900, at least 720 x 480 unless the
// work area itself is smaller; centred in it.
WindowGeometry initialWindowGeometry(const ScreenRect& work);

// The font scale for a work area: clamp(min(w / 1500, h / 900), 0.74, 1.08).
float uiScaleFor(const ScreenRect& work);

enum class BorderHit {
  Client,
  Left,
  Right,
  Top,
  Bottom,
  TopLeft,
  TopRight,
  BottomLeft,
  BottomRight,
};

// Which resize border a screen point lies on; none while maximised.
BorderHit hitTestBorders(bool maximized, const ScreenRect& window, ScreenPoint point);

}  // namespace rivulo
