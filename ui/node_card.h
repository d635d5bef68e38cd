#pragma once
// Pieces of the node card that other panels reuse: the kind's accent colour,
// the cut-corner card outline, text shortened to fit, and the rectangle test.
#include <imgui.h>

#include <cstdint>
#include <string>

namespace rivulo {

// Fully opaque accent of a node kind; the default cyan for unknown kinds.
uint32_t nodeAccentColor(int type);

// An octagon over (min, max): top-right and bottom-left corners cut by `cut`,
// bottom-right by 0.55 cut, top-left `cut` wide and 0.55 cut high. Outlined
// only when the outline is visible and `thickness` is above 0.
void drawCardShape(ImDrawList* drawList, ImVec2 min, ImVec2 max, float cut, uint32_t fill, uint32_t outline,
                   float thickness);

// `text` shortened with "..." so that it is at most `maxWidth` wide in the
// current font; empty when not even "..." fits.
std::string clipText(const std::string& text, float maxWidth);

// Edges included.
bool pointInRect(ImVec2 p, ImVec2 min, ImVec2 max);

}  // namespace rivulo
