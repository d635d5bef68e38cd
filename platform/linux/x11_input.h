#pragma once
// Key and pointer-button state from an X server, on a connection of our own:
// XQueryKeymap for keys (global, whichever window has the focus) and XInput2
// raw button events on the root window for buttons, side buttons included.
#include <array>
#include <memory>

namespace rivulo {

class X11Input {
 public:
  // Connects to `displayName` (nullptr: $DISPLAY); nullptr when there is no
  // X server to talk to.
  static std::unique_ptr<X11Input> open(const char* displayName = nullptr);
  ~X11Input();
  X11Input(const X11Input&) = delete;
  X11Input& operator=(const X11Input&) = delete;

  // Reads the button and keyboard-mapping events that arrived. Never blocks.
  void poll();

  bool keyDown(unsigned long keysym);
  bool buttonDown(int button);

  // Whether raw button events could be selected (XInput 2.2).
  bool seesAllButtons() const { return xiOpcode_ >= 0; }

 private:
  struct Connection;
  explicit X11Input(std::unique_ptr<Connection> connection);
  void selectRawButtons();

  std::unique_ptr<Connection> connection_;
  int xiOpcode_ = -1;
  std::array<bool, 32> buttons_{};
  std::array<char, 32> keymap_{};
  bool keymapFresh_ = false;
};

}  // namespace rivulo
