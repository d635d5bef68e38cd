#include "ui/draw_kit.h"

#include <imgui_internal.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace rivulo {

ImVec4 unpackColor(uint32_t colour) {
  return ImVec4(static_cast<float>(colour & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                static_cast<float>((colour >> 16) & 0xFF) / 255.0f, static_cast<float>((colour >> 24) & 0xFF) / 255.0f);
}

uint32_t withAlpha(uint32_t colour, float factor) {
  ImVec4 c = unpackColor(colour);
  return rgba(c.x, c.y, c.z, c.w * factor);
}

uint32_t lerpColor(uint32_t a, uint32_t b, float t) {
  ImVec4 ca = unpackColor(a);
  ImVec4 cb = unpackColor(b);
  return rgba(ca.x + (cb.x - ca.x) * t, ca.y + (cb.y - ca.y) * t, ca.z + (cb.z - ca.z) * t,
              ca.w + (cb.w - ca.w) * t);
}

ImVec2 vecAdd(ImVec2 a, ImVec2 b) { return ImVec2(a.x + b.x, a.y + b.y); }
ImVec2 vecSub(ImVec2 a, ImVec2 b) { return ImVec2(a.x - b.x, a.y - b.y); }
ImVec2 vecScale(ImVec2 v, float s) { return ImVec2(v.x * s, v.y * s); }
float vecLength(ImVec2 v) { return std::sqrt(v.x * v.x + v.y * v.y); }

ImVec2 vecNormalize(ImVec2 v) {
  float length = vecLength(v);
  if (length > 0.001f) return ImVec2(v.x / length, v.y / length);
  return ImVec2(0.0f, 0.0f);
}

ImVec2 bezierPoint(ImVec2 p0, ImVec2 p1, ImVec2 p2, ImVec2 p3, float t) {
  float u = 1.0f - t;
  float w0 = u * u * u;
  float w1 = 3.0f * u * u * t;
  float w2 = 3.0f * u * t * t;
  float w3 = t * t * t;
  return ImVec2(p0.x * w0 + p1.x * w1 + p2.x * w2 + p3.x * w3, p0.y * w0 + p1.y * w1 + p2.y * w2 + p3.y * w3);
}

ImVec2 bezierTangent(ImVec2 p0, ImVec2 p1, ImVec2 p2, ImVec2 p3, float t) {
  float u = 1.0f - t;
  ImVec2 a = vecScale(vecSub(p1, p0), 3.0f * u * u);
  ImVec2 b = vecScale(vecSub(p2, p1), 6.0f * u * t);
  ImVec2 c = vecScale(vecSub(p3, p2), 3.0f * t * t);
  return vecAdd(vecAdd(a, b), c);
}

ImVec2 perimeterPoint(ImVec2 min, ImVec2 max, float d) {
  float w = std::max(1.0f, max.x - min.x);
  float h = std::max(1.0f, max.y - min.y);
  float perimeter = 2.0f * (w + h);
  d = std::fmod(d, perimeter);
  if (d < 0.0f) d += perimeter;
  if (d < w) return ImVec2(min.x + d, min.y);
  d -= w;
  if (d < h) return ImVec2(max.x, min.y + d);
  d -= h;
  if (d < w) return ImVec2(max.x - d, max.y);
  d -= w;
  return ImVec2(min.x, max.y - d);
}

namespace {

// The points of a filled circle of n segments on the unit circle, worked out
// once: the same angles the GUI library computes for every circle it fills,
// which is most of a frame's cost when every card glows.
constexpr int kMaxCachedSegments = 64;

const std::vector<ImVec2>& unitCircle(int segments) {
  static const std::array<std::vector<ImVec2>, kMaxCachedSegments + 1> tables = [] {
    std::array<std::vector<ImVec2>, kMaxCachedSegments + 1> all;
    for (int n = 3; n <= kMaxCachedSegments; ++n) {
      const float aMax = (IM_PI * 2.0f) * (static_cast<float>(n) - 1.0f) / static_cast<float>(n);
      const int steps = n - 1;
      for (int i = 0; i <= steps; ++i) {
        const float a = (static_cast<float>(i) / static_cast<float>(steps)) * aMax;
        all[n].push_back(ImVec2(ImCos(a), ImSin(a)));
      }
    }
    return all;
  }();
  return tables[static_cast<size_t>(segments)];
}

}  // namespace

void fillCircle(ImDrawList* drawList, ImVec2 centre, float radius, uint32_t colour, int segments) {
  if ((colour & IM_COL32_A_MASK) == 0 || radius < 0.5f) return;
  if (segments < 3 || segments > kMaxCachedSegments) {
    drawList->AddCircleFilled(centre, radius, colour, segments);
    return;
  }
  for (const ImVec2& p : unitCircle(segments)) {
    drawList->PathLineTo(ImVec2(centre.x + p.x * radius, centre.y + p.y * radius));
  }
  drawList->PathFillConvex(colour);
}

void radialGlow(ImDrawList* drawList, ImVec2 centre, float radius, uint32_t colour, int rings) {
  for (int k = rings; k >= 1; --k) {
    float f = static_cast<float>(k) / static_cast<float>(rings);
    fillCircle(drawList, centre, radius * (0.42f + 0.58f * f), withAlpha(colour, (1.0f - 0.74f * f) * 0.13f), 48);
  }
}

void glowLine(ImDrawList* drawList, ImVec2 p0, ImVec2 p1, uint32_t colour, float core, float glow) {
  drawList->AddLine(p0, p1, withAlpha(colour, 0.055f), glow * 2.2f);
  drawList->AddLine(p0, p1, withAlpha(colour, 0.10f), glow * 1.45f);
  drawList->AddLine(p0, p1, withAlpha(colour, 0.22f), glow * 0.78f);
  drawList->AddLine(p0, p1, colour, core);
}

void glowFrame(ImDrawList* drawList, ImVec2 min, ImVec2 max, uint32_t colour, float rounding, float s) {
  drawList->AddRect(ImVec2(min.x - 5, min.y - 5), ImVec2(max.x + 5, max.y + 5), withAlpha(colour, 0.035f * s),
                    rounding + 5, 0, 10.0f);
  drawList->AddRect(ImVec2(min.x - 3, min.y - 3), ImVec2(max.x + 3, max.y + 3), withAlpha(colour, 0.065f * s),
                    rounding + 3, 0, 6.0f);
  drawList->AddRect(ImVec2(min.x - 1, min.y - 1), ImVec2(max.x + 1, max.y + 1), withAlpha(colour, 0.18f * s),
                    rounding + 1, 0, 2.0f);
}

void runningLight(ImDrawList* drawList, ImVec2 min, ImVec2 max, uint32_t colourA, uint32_t colourB, float phase,
                  float speed, float trail) {
  float w = std::max(1.0f, max.x - min.x);
  float h = std::max(1.0f, max.y - min.y);
  float perimeter = 2.0f * (w + h);
  if (perimeter <= 4.0f) return;
  float head = std::fmod(static_cast<float>(ImGui::GetTime()) * speed + phase, perimeter);
  constexpr int kSegments = 28;
  for (int i = 0; i < kSegments; ++i) {
    float t0 = static_cast<float>(i) / kSegments;
    float t1 = static_cast<float>(i + 1) / kSegments;
    ImVec2 q0 = perimeterPoint(min, max, head - trail * (1.0f - t0));
    ImVec2 q1 = perimeterPoint(min, max, head - trail * (1.0f - t1));
    float dx = q1.x - q0.x;
    float dy = q1.y - q0.y;
    if (dx * dx + dy * dy > 900.0f) continue;
    uint32_t c = withAlpha(lerpColor(colourA, colourB, t1), 0.1f + 0.9f * t1 * t1);
    drawList->AddLine(q0, q1, withAlpha(c, 0.09f), 12.0f);
    drawList->AddLine(q0, q1, withAlpha(c, 0.22f), 6.0f);
    drawList->AddLine(q0, q1, c, 1.8f + 1.1f * t1 * t1);
  }
}

void panelCard(ImDrawList* drawList, ImVec2 min, ImVec2 max, uint32_t fill, uint32_t a, uint32_t b, float rounding) {
  drawList->AddRectFilled(min, max, fill, rounding);
  drawList->AddRectFilledMultiColor(ImVec2(min.x + 1, min.y + 1), ImVec2(max.x - 1, max.y - 1), withAlpha(a, 0.055f),
                                    withAlpha(b, 0.03f), withAlpha(b, 0.08f), withAlpha(a, 0.02f));
  glowFrame(drawList, min, max, a, rounding, 0.72f);
  drawList->AddRect(min, max, withAlpha(a, 0.42f), rounding, 0, 1.0f);
  runningLight(drawList, min, max, a, b, min.x * 0.17f + min.y * 0.09f, 92.0f, 105.0f);
}

void panelFrame(uint32_t accentA, uint32_t accentB, float s) {
  ImDrawList* drawList = ImGui::GetWindowDrawList();
  ImVec2 pos = ImGui::GetWindowPos();
  ImVec2 size = ImGui::GetWindowSize();
  ImVec2 min(pos.x + 2, pos.y + 2);
  ImVec2 max(pos.x + size.x - 2, pos.y + size.y - 2);
  uint32_t a = withAlpha(accentA, s);
  uint32_t b = withAlpha(accentB, s);

  drawList->AddRectFilledMultiColor(ImVec2(min.x + 1, min.y + 1), ImVec2(max.x - 1, max.y - 1), withAlpha(a, 0.035f),
                                    withAlpha(b, 0.012f), withAlpha(b, 0.05f), withAlpha(a, 0.008f));
  glowFrame(drawList, min, max, a, 12.0f, 0.45f * s);
  drawList->AddRect(min, max, withAlpha(a, 0.16f), 12.0f, 0, 1.0f);
  runningLight(drawList, ImVec2(min.x + 1, min.y + 1), ImVec2(max.x - 1, max.y - 1), a, b,
               min.x * 0.21f + min.y * 0.13f, 78.0f, 125.0f);

  auto bracket = [&](ImVec2 p0, ImVec2 p1, uint32_t c) { glowLine(drawList, p0, p1, c, 1.1f, 3.5f); };
  bracket(ImVec2(min.x + 8, min.y), ImVec2(min.x + 28, min.y), a);
  bracket(ImVec2(min.x, min.y + 8), ImVec2(min.x, min.y + 28), a);
  bracket(ImVec2(max.x - 8, min.y), ImVec2(max.x - 28, min.y), b);
  bracket(ImVec2(max.x, min.y + 8), ImVec2(max.x, min.y + 28), b);
  bracket(ImVec2(min.x + 8, max.y), ImVec2(min.x + 28, max.y), b);
  bracket(ImVec2(min.x, max.y - 8), ImVec2(min.x, max.y - 28), b);
  bracket(ImVec2(max.x - 8, max.y), ImVec2(max.x - 28, max.y), a);
  bracket(ImVec2(max.x, max.y - 8), ImVec2(max.x, max.y - 28), a);

  drawList->AddRectFilledMultiColor(ImVec2(min.x + 42, min.y + 1), ImVec2(std::max(min.x + 42, max.x - 42), min.y + 3),
                                    withAlpha(a, 0.68f), withAlpha(b, 0.5f), withAlpha(b, 0.16f), withAlpha(a, 0.16f));
}

namespace {

struct PaletteRow {
  ImGuiCol slot;
  ImVec4 dark;
  bool hasLight;
  ImVec4 light;
};

constexpr ImVec4 kNone(0, 0, 0, 0);

const PaletteRow kPalette[] = {
    {ImGuiCol_Text, {0.92f, 0.975f, 1.0f, 1.0f}, true, {0.06f, 0.12f, 0.20f, 1.0f}},
    {ImGuiCol_TextDisabled, {0.34f, 0.58f, 0.76f, 1.0f}, true, {0.38f, 0.48f, 0.60f, 1.0f}},
    {ImGuiCol_WindowBg, {0.002f, 0.006f, 0.016f, 1.0f}, true, {0.925f, 0.955f, 0.99f, 1.0f}},
    {ImGuiCol_ChildBg, {0.008f, 0.02f, 0.043f, 0.965f}, true, {0.975f, 0.987f, 1.0f, 0.96f}},
    {ImGuiCol_PopupBg, {0.006f, 0.016f, 0.036f, 0.995f}, true, {0.985f, 0.992f, 1.0f, 0.99f}},
    {ImGuiCol_Border, {0.04f, 0.48f, 0.68f, 0.78f}, true, {0.67f, 0.78f, 0.89f, 0.95f}},
    {ImGuiCol_BorderShadow, {0.0f, 0.0f, 0.0f, 0.0f}, false, kNone},
    {ImGuiCol_FrameBg, {0.01f, 0.04f, 0.082f, 0.97f}, true, {0.91f, 0.95f, 0.99f, 1.0f}},
    {ImGuiCol_FrameBgHovered, {0.02f, 0.13f, 0.21f, 1.0f}, true, {0.85f, 0.93f, 0.98f, 1.0f}},
    {ImGuiCol_FrameBgActive, {0.025f, 0.21f, 0.31f, 1.0f}, true, {0.78f, 0.91f, 0.98f, 1.0f}},
    {ImGuiCol_ScrollbarBg, {0.012f, 0.024f, 0.042f, 0.75f}, false, kNone},
    {ImGuiCol_ScrollbarGrab, {0.11f, 0.25f, 0.34f, 0.85f}, false, kNone},
    {ImGuiCol_ScrollbarGrabHovered, {0.13f, 0.42f, 0.52f, 0.95f}, false, kNone},
    {ImGuiCol_ScrollbarGrabActive, {0.13f, 0.63f, 0.72f, 1.0f}, false, kNone},
    {ImGuiCol_CheckMark, {0.13f, 0.83f, 0.93f, 1.0f}, true, {0.0f, 0.55f, 0.73f, 1.0f}},
    {ImGuiCol_SliderGrab, {0.13f, 0.83f, 0.93f, 0.85f}, true, {0.0f, 0.58f, 0.75f, 0.9f}},
    {ImGuiCol_SliderGrabActive, {0.55f, 0.36f, 0.96f, 1.0f}, false, kNone},
    {ImGuiCol_Button, {0.01f, 0.05f, 0.10f, 0.97f}, true, {0.92f, 0.96f, 0.995f, 1.0f}},
    {ImGuiCol_ButtonHovered, {0.02f, 0.23f, 0.33f, 1.0f}, true, {0.82f, 0.92f, 0.98f, 1.0f}},
    {ImGuiCol_ButtonActive, {0.05f, 0.33f, 0.43f, 1.0f}, true, {0.72f, 0.88f, 0.96f, 1.0f}},
    {ImGuiCol_Header, {0.035f, 0.105f, 0.16f, 0.96f}, true, {0.84f, 0.92f, 0.98f, 1.0f}},
    {ImGuiCol_HeaderHovered, {0.055f, 0.22f, 0.29f, 1.0f}, true, {0.74f, 0.88f, 0.96f, 1.0f}},
    {ImGuiCol_HeaderActive, {0.08f, 0.26f, 0.33f, 1.0f}, true, {0.68f, 0.84f, 0.94f, 1.0f}},
    {ImGuiCol_Separator, {0.10f, 0.22f, 0.34f, 0.9f}, true, {0.70f, 0.80f, 0.90f, 1.0f}},
    {ImGuiCol_ResizeGrip, {0.13f, 0.83f, 0.93f, 0.18f}, false, kNone},
    {ImGuiCol_ResizeGripHovered, {0.13f, 0.83f, 0.93f, 0.55f}, false, kNone},
    {ImGuiCol_ResizeGripActive, {0.55f, 0.36f, 0.96f, 0.75f}, false, kNone},
    {ImGuiCol_TabHovered, {0.07f, 0.185f, 0.25f, 1.0f}, true, {0.76f, 0.89f, 0.97f, 1.0f}},
    {ImGuiCol_Tab, {0.04f, 0.075f, 0.115f, 0.95f}, true, {0.88f, 0.94f, 0.99f, 1.0f}},
    {ImGuiCol_TabSelected, {0.03f, 0.285f, 0.39f, 1.0f}, true, {0.70f, 0.87f, 0.96f, 1.0f}},
    {ImGuiCol_PlotLines, {0.13f, 0.83f, 0.93f, 1.0f}, false, kNone},
    {ImGuiCol_PlotHistogram, {0.13f, 0.83f, 0.93f, 1.0f}, false, kNone},
};

}  // namespace

void applyThemeStyle(ImGuiStyle& style, bool dark) {
  style.WindowPadding = ImVec2(10, 10);
  style.WindowRounding = 16;
  style.WindowBorderSize = 0;
  style.ChildRounding = 13;
  style.ChildBorderSize = 1;
  style.PopupRounding = 11;
  style.FramePadding = ImVec2(10, 7);
  style.FrameRounding = 9;
  style.FrameBorderSize = 1;
  style.ItemSpacing = ImVec2(7, 7);
  style.ItemInnerSpacing = ImVec2(7, 5);
  style.ScrollbarSize = 11;
  style.ScrollbarRounding = 9;
  style.GrabMinSize = 11;
  style.GrabRounding = 9;
  style.TabRounding = 8;
  // A light slot left as a dash keeps what the dark palette wrote into it;
  // the constructor applies the dark palette first, so those slots hold it.
  for (const PaletteRow& row : kPalette) {
    if (dark) {
      style.Colors[row.slot] = row.dark;
    } else if (row.hasLight) {
      style.Colors[row.slot] = row.light;
    }
  }
}

}  // namespace rivulo
