#pragma once
// Colour and vector helpers and the glowing decorations every panel is drawn
// with. Colours are packed as the GUI library packs them: red in the low byte.
#include <imgui.h>

#include <cstdint>

namespace rivulo {

// Packs each component clamped to [0, 1] as trunc(c x 255 + 0.5).
inline uint32_t rgba(float r, float g, float b, float a) {
  auto channel = [](float c) {
    c = c < 0.0f ? 0.0f : (c > 1.0f ? 1.0f : c);
    return static_cast<uint32_t>(c * 255.0f + 0.5f);
  };
  return channel(r) | (channel(g) << 8) | (channel(b) << 16) | (channel(a) << 24);
}
uint32_t withAlpha(uint32_t colour, float factor);
uint32_t lerpColor(uint32_t a, uint32_t b, float t);
ImVec4 unpackColor(uint32_t colour);

ImVec2 vecAdd(ImVec2 a, ImVec2 b);
ImVec2 vecSub(ImVec2 a, ImVec2 b);
ImVec2 vecScale(ImVec2 v, float s);
float vecLength(ImVec2 v);
ImVec2 vecNormalize(ImVec2 v);
ImVec2 bezierPoint(ImVec2 p0, ImVec2 p1, ImVec2 p2, ImVec2 p3, float t);
ImVec2 bezierTangent(ImVec2 p0, ImVec2 p1, ImVec2 p2, ImVec2 p3, float t);
ImVec2 perimeterPoint(ImVec2 min, ImVec2 max, float distance);

// A filled circle of `segments` segments, as the GUI library draws it.
void fillCircle(ImDrawList* drawList, ImVec2 centre, float radius, uint32_t colour, int segments);
void radialGlow(ImDrawList* drawList, ImVec2 centre, float radius, uint32_t colour, int rings);
void glowLine(ImDrawList* drawList, ImVec2 p0, ImVec2 p1, uint32_t colour, float core, float glow);
void glowFrame(ImDrawList* drawList, ImVec2 min, ImVec2 max, uint32_t colour, float rounding, float strength);
void runningLight(ImDrawList* drawList, ImVec2 min, ImVec2 max, uint32_t colourA, uint32_t colourB, float phase,
                  float speed, float trail);
void panelCard(ImDrawList* drawList, ImVec2 min, ImVec2 max, uint32_t fill, uint32_t accentA, uint32_t accentB,
               float rounding);
// Decorates the current window; drawn before its widgets.
void panelFrame(uint32_t accentA, uint32_t accentB, float strength);

// Writes the style metrics and the dark or light palette into the GUI style.
void applyThemeStyle(ImGuiStyle& style, bool dark);

}  // namespace rivulo
