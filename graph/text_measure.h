#pragma once
// Width of a text in the current GUI font. Card sizes and text clipping go
// through this one function so that logic tests can run without a font:
// with no GUI context every character counts 7 pixels.
#include <string_view>

namespace rivulo {

float measureTextWidth(std::string_view text);

}  // namespace rivulo
