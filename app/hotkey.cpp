// The global Start/Stop hotkey, polled once per frame.
#include "app/editor.h"

namespace rivulo {

void Editor::pollHotkey() {
  if (hotkeyIndex < 1 || hotkeyIndex > 105) {
    hotkeyWasDown = false;
    return;
  }
}

}  // namespace rivulo
