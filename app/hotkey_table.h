#pragma once
// The fixed table of Start/Stop hotkey rows, in the order of the HOTKEY combo.
#include <array>
#include <cstdint>
#include <string_view>

#include "app/hotkey_binding.h"

namespace rivulo {

constexpr int kHotkeyRowCount = 106;

const std::array<HotkeyBinding, kHotkeyRowCount>& hotkeyTable();

// The row with this name ("F8", "Xbox A"), or -1.
int hotkeyRowByName(std::string_view name);

// Triggers count as pressed above this value on the 0-255 scale.
constexpr uint32_t kTriggerThreshold = 30;

inline bool triggerPressed(uint32_t value) { return value > kTriggerThreshold; }

// A game-controller trigger axis (0..32767) on the 0-255 scale. Rounded, not
// truncated: an 8-bit trigger reported through the 16-bit axis comes back as
// the byte it started as, so 31 is still 31 and fires.
inline uint32_t triggerByteFromAxis(int axis) {
  if (axis <= 0) return 0;
  if (axis >= 32767) return 255;
  return (static_cast<uint32_t>(axis) * 255u + 16383u) / 32767u;
}

}  // namespace rivulo
