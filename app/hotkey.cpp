// The global Start/Stop hotkey, polled once per frame.
#include <imgui.h>

#include "app/editor.h"
#include "app/hotkey_table.h"

namespace rivulo {

namespace {

// A text field of ours is being edited. Without a GUI context nothing is.
bool guiWantsTextInput() { return ImGui::GetCurrentContext() != nullptr && ImGui::GetIO().WantTextInput; }

}  // namespace

bool Editor::hotkeyIsDown(const HotkeyBinding& binding) {
  if (binding.kind == kHotkeyNone || binding.kind > kHotkeyRightTrigger) return false;
  if (services.hotkeys == nullptr) return false;
  return services.hotkeys->isDown(binding);
}

void Editor::pollHotkey() {
  if (services.hotkeys != nullptr) services.hotkeys->poll();
  if (hotkeyIndex < 1 || hotkeyIndex >= kHotkeyRowCount) {
    hotkeyWasDown = false;
    return;
  }
  const HotkeyBinding& binding = hotkeyTable()[static_cast<size_t>(hotkeyIndex)];
  // Without a window there is nothing else that could be in front.
  const bool foreground = services.window == nullptr || services.window->hasInputFocus();
  if (foreground && binding.kind == kHotkeyVirtualKey && guiWantsTextInput()) {
    // Typing into one of our own fields: track the key but never fire, so
    // that a key held through the typing does not fire when the field closes.
    hotkeyWasDown = hotkeyIsDown(binding);
    return;
  }
  const bool down = hotkeyIsDown(binding);
  if (down && !hotkeyWasDown) toggleSimulation();
  hotkeyWasDown = down;
}

void Editor::chooseHotkey(int index) {
  if (index < 0 || index >= kHotkeyRowCount) return;
  const HotkeyBinding& binding = hotkeyTable()[static_cast<size_t>(index)];
  hotkeyIndex = index;
  // An input already held while it is chosen must not fire at once.
  hotkeyWasDown = hotkeyIsDown(binding);
  addLog(std::string("Start/Stop hotkey set to: ") + binding.name);
  if (binding.kind == kHotkeyNone) return;
  if (services.hotkeys == nullptr) {
    addLog("Global hotkey unavailable: no input devices can be read on this system.");
    return;
  }
  const char* reason = services.hotkeys->unavailableReason();
  if (reason != nullptr && reason[0] != '\0') addLog(reason);
}

}  // namespace rivulo
