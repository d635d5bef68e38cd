#pragma once
#include <cstdint>

namespace rivulo {

// One row of the Start/Stop hotkey table.
struct HotkeyBinding {
  const char* name;
  uint32_t kind;  // 0 none, 1 virtual key, 2 pad button, 3 left trigger, 4 right trigger
  uint32_t code;
};

// Current physical state of a binding, read straight from the devices so it
// works while the window is in the background.
class HotkeySource {
 public:
  virtual ~HotkeySource() = default;
  virtual bool isDown(const HotkeyBinding& binding) = 0;
  // Why no device can be read, or empty when some can.
  virtual const char* unavailableReason() const { return ""; }
};

}  // namespace rivulo
