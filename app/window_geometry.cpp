#include "app/window_geometry.h"

#include <algorithm>
#include <cmath>

namespace rivulo {

namespace {

int workWidth(const ScreenRect& work) { return std::max(1, work.right - work.left); }
int workHeight(const ScreenRect& work) { return std::max(1, work.bottom - work.top); }

int fitted(int workSize, int cap, int floor) {
  int wanted = static_cast<int>(std::round(static_cast<double>(workSize) * 0.96));  // halves away from zero
  wanted = std::min(wanted, cap);
  return std::min(workSize, std::max(floor, wanted));
}

}  // namespace

WindowGeometry initialWindowGeometry(const ScreenRect& work) {
  const int w = workWidth(work);
  const int h = workHeight(work);
  WindowGeometry g;
  g.width = fitted(w, 1500, kMinWindowWidth);
  g.height = fitted(h, 900, kMinWindowHeight);
  g.x = work.left + (w - g.width) / 2;
  g.y = work.top + (h - g.height) / 2;
  return g;
}

float uiScaleFor(const ScreenRect& work) {
  float sx = static_cast<float>(workWidth(work)) / 1500.0f;
  float sy = static_cast<float>(workHeight(work)) / 900.0f;
  return std::clamp(std::min(sx, sy), 0.74f, 1.08f);
}

BorderHit hitTestBorders(bool maximized, const ScreenRect& rect, ScreenPoint p) {
  if (maximized) return BorderHit::Client;
  const bool left = rect.left <= p.x && p.x < rect.left + kResizeBorder;
  const bool right = rect.right - kResizeBorder <= p.x && p.x < rect.right;
  const bool top = rect.top <= p.y && p.y < rect.top + kResizeBorder;
  const bool bottom = rect.bottom - kResizeBorder <= p.y && p.y < rect.bottom;
  if (top && left) return BorderHit::TopLeft;
  if (top && right) return BorderHit::TopRight;
  if (bottom && left) return BorderHit::BottomLeft;
  if (bottom && right) return BorderHit::BottomRight;
  if (left) return BorderHit::Left;
  if (right) return BorderHit::Right;
  if (top) return BorderHit::Top;
  if (bottom) return BorderHit::Bottom;
  return BorderHit::Client;
}

}  // namespace rivulo
