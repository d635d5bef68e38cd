#pragma once
// The Start/Stop hotkey's view of the machine's keyboards, mice and game-pads.
#include <memory>
#include <string>

#include "app/hotkey_binding.h"

namespace rivulo {

struct LinuxHotkeyOptions {
  std::string inputDirectory = "/dev/input";
  bool useX11 = true;
  const char* display = nullptr;  // nullptr: $DISPLAY
  bool useGamepads = true;
};

std::shared_ptr<HotkeySource> makeLinuxHotkeySource(const LinuxHotkeyOptions& options = {});

}  // namespace rivulo
