#pragma once
#include <cstdint>

namespace rivulo {

// What a hotkey row listens to.
constexpr uint32_t kHotkeyNone = 0;
constexpr uint32_t kHotkeyVirtualKey = 1;    // keyboard key or mouse button, by Win32 virtual-key code
constexpr uint32_t kHotkeyPadButton = 2;     // game-pad button, by XInput button mask
constexpr uint32_t kHotkeyLeftTrigger = 3;
constexpr uint32_t kHotkeyRightTrigger = 4;

// One row of the Start/Stop hotkey table.
struct HotkeyBinding {
  const char* name;
  uint32_t kind;  // 0 none, 1 virtual key, 2 pad button, 3 left trigger, 4 right trigger
  uint32_t code;
};

// Current physical state of a binding, read straight from the devices so it
// works while the window is in the background. Never blocks: it is asked
// once per frame on the UI thread.
class HotkeySource {
 public:
  virtual ~HotkeySource() = default;
  virtual bool isDown(const HotkeyBinding& binding) = 0;
  // Why no device can be read, or empty when some can.
  virtual const char* unavailableReason() const { return ""; }
  // Called once per frame, also while no binding is chosen, so that a source
  // can drain its event queues and notice devices coming and going.
  virtual void poll() {}
};

}  // namespace rivulo
