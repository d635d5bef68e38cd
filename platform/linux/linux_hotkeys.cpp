#include "platform/linux/linux_hotkeys.h"

#include "platform/linux/evdev_input.h"
#include "platform/linux/gamepad_input.h"
#include "platform/linux/linux_key_map.h"
#include "platform/linux/x11_input.h"

namespace rivulo {

namespace {

// Keys and buttons come from evdev where the devices can be read and from the
// X server where there is one. Both are asked: input synthesised through the
// X server (remote desktops, xdotool) never reaches evdev, and evdev sees
// what X11 cannot (Wayland sessions, the console).
class LinuxHotkeySource final : public HotkeySource {
 public:
  explicit LinuxHotkeySource(const LinuxHotkeyOptions& options) : evdev_(options.inputDirectory) {
    if (options.useX11) x11_ = X11Input::open(options.display);
    if (options.useGamepads) gamepads_ = std::make_unique<GamepadInput>();
  }

  void poll() override {
    evdev_.poll();
    if (x11_) x11_->poll();
  }

  bool isDown(const HotkeyBinding& binding) override {
    switch (binding.kind) {
      case kHotkeyVirtualKey: return keyDown(binding.code);
      case kHotkeyPadButton: return gamepads_ && gamepads_->buttonDown(binding.code);
      case kHotkeyLeftTrigger: return gamepads_ && gamepads_->triggerDown(true);
      case kHotkeyRightTrigger: return gamepads_ && gamepads_->triggerDown(false);
      default: return false;
    }
  }

  const char* unavailableReason() const override {
    if (evdev_.deviceCount() == 0 && !x11_) return "Global hotkey unavailable: no access to /dev/input and no X11 display.";
    return "";
  }

 private:
  bool keyDown(uint32_t virtualKey) {
    const LinuxKey* key = linuxKeyFor(virtualKey);
    if (key == nullptr) return false;
    for (uint16_t code : key->evdevCodes) {
      if (code != 0 && evdev_.isDown(code)) return true;
    }
    if (!x11_) return false;
    if (key->xButton != 0) return x11_->buttonDown(key->xButton);
    for (unsigned long keysym : key->keysyms) {
      if (keysym != 0 && x11_->keyDown(keysym)) return true;
    }
    return false;
  }

  EvdevInput evdev_;
  std::unique_ptr<X11Input> x11_;
  std::unique_ptr<GamepadInput> gamepads_;
};

}  // namespace

std::shared_ptr<HotkeySource> makeLinuxHotkeySource(const LinuxHotkeyOptions& options) {
  return std::make_shared<LinuxHotkeySource>(options);
}

}  // namespace rivulo
