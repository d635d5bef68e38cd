#include "app/window_geometry.h"

#include <gtest/gtest.h>

namespace rivulo {
namespace {

struct GeometryCase {
  ScreenRect work;
  WindowGeometry expected;
  float scale;
};

TEST(WindowGeometry, SizeAndPositionFollowTheWorkArea) {
  const GeometryCase cases[] = {
      // 96 % capped at 1500 x 900, centred.
      {{0, 0, 1920, 1040}, {210, 70, 1500, 900}, 1.08f},
      // The 720 x 480 floor is capped by the work area itself.
      {{0, 0, 700, 450}, {0, 0, 700, 450}, 0.74f},
      // 96 % of 1000 x 700, and the work origin carries over.
      {{100, 50, 1100, 750}, {120, 64, 960, 672}, 0.74f},
      // A degenerate rectangle counts as 1 x 1.
      {{0, 0, 0, 0}, {0, 0, 1, 1}, 0.74f},
  };
  for (const GeometryCase& c : cases) {
    WindowGeometry g = initialWindowGeometry(c.work);
    EXPECT_EQ(g.x, c.expected.x);
    EXPECT_EQ(g.y, c.expected.y);
    EXPECT_EQ(g.width, c.expected.width);
    EXPECT_EQ(g.height, c.expected.height);
    EXPECT_FLOAT_EQ(uiScaleFor(c.work), c.scale);
  }
  EXPECT_NEAR(17.0f * uiScaleFor({0, 0, 1920, 1040}), 18.36f, 1e-4);
  EXPECT_FLOAT_EQ(uiScaleFor({0, 0, 1200, 900}), 0.8f);
}

TEST(WindowGeometry, BorderHitTest) {
  const ScreenRect r{100, 100, 500, 400};
  struct HitCase {
    ScreenPoint p;
    BorderHit hit;
  };
  const HitCase cases[] = {
      {{100, 100}, BorderHit::TopLeft},     {{499, 100}, BorderHit::TopRight},
      {{100, 399}, BorderHit::BottomLeft},  {{499, 399}, BorderHit::BottomRight},
      {{107, 250}, BorderHit::Left},        {{108, 250}, BorderHit::Client},
      {{492, 250}, BorderHit::Right},       {{491, 250}, BorderHit::Client},
      {{300, 107}, BorderHit::Top},         {{300, 392}, BorderHit::Bottom},
      {{500, 250}, BorderHit::Client},      {{300, 250}, BorderHit::Client},
  };
  for (const HitCase& c : cases) {
    EXPECT_EQ(hitTestBorders(false, r, c.p), c.hit) << c.p.x << "," << c.p.y;
    EXPECT_EQ(hitTestBorders(true, r, c.p), BorderHit::Client);
  }
}

}  // namespace
}  // namespace rivulo
