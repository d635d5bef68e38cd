#pragma once
// How each hotkey row reaches a Linux input device: the keyboard key or mouse
// button of a Win32 virtual-key code under evdev and under X11, and the game
// controller button of an XInput button mask.
#include <array>
#include <cstdint>

namespace rivulo {

struct LinuxKey {
  uint32_t virtualKey;
  // evdev KEY_* / BTN_* codes; 0 ends the list. Rows meaning either side
  // (Shift, Ctrl, Alt) list both keys.
  std::array<uint16_t, 2> evdevCodes;
  // X11 keysyms, resolved to the server's keycodes at run time; 0 ends the list.
  std::array<unsigned long, 3> keysyms;
  // X11 pointer button (1 left, 2 middle, 3 right, 8 and 9 the side buttons), 0 for keys.
  int xButton;
};

// The entry for a virtual-key code of the hotkey table, or nullptr.
const LinuxKey* linuxKeyFor(uint32_t virtualKey);

// SDL_GameControllerButton for an XInput button mask, or -1.
int sdlButtonForPadMask(uint32_t mask);

}  // namespace rivulo
