#include "platform/linux/linux_key_map.h"

#include <SDL_gamecontroller.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>

namespace rivulo {

namespace {

// Keys are matched by position, as a US keyboard labels them; the Windows
// codes of the punctuation keys name those positions too.
constexpr LinuxKey kKeys[] = {
    {0x30, {KEY_0}, {XK_0}, 0},
    {0x31, {KEY_1}, {XK_1}, 0},
    {0x32, {KEY_2}, {XK_2}, 0},
    {0x33, {KEY_3}, {XK_3}, 0},
    {0x34, {KEY_4}, {XK_4}, 0},
    {0x35, {KEY_5}, {XK_5}, 0},
    {0x36, {KEY_6}, {XK_6}, 0},
    {0x37, {KEY_7}, {XK_7}, 0},
    {0x38, {KEY_8}, {XK_8}, 0},
    {0x39, {KEY_9}, {XK_9}, 0},
    {0x41, {KEY_A}, {XK_a}, 0},
    {0x42, {KEY_B}, {XK_b}, 0},
    {0x43, {KEY_C}, {XK_c}, 0},
    {0x44, {KEY_D}, {XK_d}, 0},
    {0x45, {KEY_E}, {XK_e}, 0},
    {0x46, {KEY_F}, {XK_f}, 0},
    {0x47, {KEY_G}, {XK_g}, 0},
    {0x48, {KEY_H}, {XK_h}, 0},
    {0x49, {KEY_I}, {XK_i}, 0},
    {0x4A, {KEY_J}, {XK_j}, 0},
    {0x4B, {KEY_K}, {XK_k}, 0},
    {0x4C, {KEY_L}, {XK_l}, 0},
    {0x4D, {KEY_M}, {XK_m}, 0},
    {0x4E, {KEY_N}, {XK_n}, 0},
    {0x4F, {KEY_O}, {XK_o}, 0},
    {0x50, {KEY_P}, {XK_p}, 0},
    {0x51, {KEY_Q}, {XK_q}, 0},
    {0x52, {KEY_R}, {XK_r}, 0},
    {0x53, {KEY_S}, {XK_s}, 0},
    {0x54, {KEY_T}, {XK_t}, 0},
    {0x55, {KEY_U}, {XK_u}, 0},
    {0x56, {KEY_V}, {XK_v}, 0},
    {0x57, {KEY_W}, {XK_w}, 0},
    {0x58, {KEY_X}, {XK_x}, 0},
    {0x59, {KEY_Y}, {XK_y}, 0},
    {0x5A, {KEY_Z}, {XK_z}, 0},
    {0x70, {KEY_F1}, {XK_F1}, 0},
    {0x71, {KEY_F2}, {XK_F2}, 0},
    {0x72, {KEY_F3}, {XK_F3}, 0},
    {0x73, {KEY_F4}, {XK_F4}, 0},
    {0x74, {KEY_F5}, {XK_F5}, 0},
    {0x75, {KEY_F6}, {XK_F6}, 0},
    {0x76, {KEY_F7}, {XK_F7}, 0},
    {0x77, {KEY_F8}, {XK_F8}, 0},
    {0x78, {KEY_F9}, {XK_F9}, 0},
    {0x79, {KEY_F10}, {XK_F10}, 0},
    {0x7A, {KEY_F11}, {XK_F11}, 0},
    {0x7B, {KEY_F12}, {XK_F12}, 0},
    {0xC0, {KEY_GRAVE}, {XK_grave}, 0},
    {0xBD, {KEY_MINUS}, {XK_minus}, 0},
    {0xBB, {KEY_EQUAL}, {XK_equal}, 0},
    {0xDB, {KEY_LEFTBRACE}, {XK_bracketleft}, 0},
    {0xDD, {KEY_RIGHTBRACE}, {XK_bracketright}, 0},
    {0xDC, {KEY_BACKSLASH}, {XK_backslash}, 0},
    {0xBA, {KEY_SEMICOLON}, {XK_semicolon}, 0},
    {0xDE, {KEY_APOSTROPHE}, {XK_apostrophe}, 0},
    {0xBC, {KEY_COMMA}, {XK_comma}, 0},
    {0xBE, {KEY_DOT}, {XK_period}, 0},
    {0xBF, {KEY_SLASH}, {XK_slash}, 0},
    {0x20, {KEY_SPACE}, {XK_space}, 0},
    {0x09, {KEY_TAB}, {XK_Tab}, 0},
    // Both Enter keys send the same Windows code.
    {0x0D, {KEY_ENTER, KEY_KPENTER}, {XK_Return, XK_KP_Enter}, 0},
    {0x1B, {KEY_ESC}, {XK_Escape}, 0},
    {0x08, {KEY_BACKSPACE}, {XK_BackSpace}, 0},
    {0x10, {KEY_LEFTSHIFT, KEY_RIGHTSHIFT}, {XK_Shift_L, XK_Shift_R}, 0},
    {0xA0, {KEY_LEFTSHIFT}, {XK_Shift_L}, 0},
    {0xA1, {KEY_RIGHTSHIFT}, {XK_Shift_R}, 0},
    {0x11, {KEY_LEFTCTRL, KEY_RIGHTCTRL}, {XK_Control_L, XK_Control_R}, 0},
    {0xA2, {KEY_LEFTCTRL}, {XK_Control_L}, 0},
    {0xA3, {KEY_RIGHTCTRL}, {XK_Control_R}, 0},
    // Many layouts put AltGr (ISO_Level3_Shift) on the right Alt key.
    {0x12, {KEY_LEFTALT, KEY_RIGHTALT}, {XK_Alt_L, XK_Alt_R, XK_ISO_Level3_Shift}, 0},
    {0xA4, {KEY_LEFTALT}, {XK_Alt_L}, 0},
    {0xA5, {KEY_RIGHTALT}, {XK_Alt_R, XK_ISO_Level3_Shift}, 0},
    {0x14, {KEY_CAPSLOCK}, {XK_Caps_Lock}, 0},
    {0x2D, {KEY_INSERT}, {XK_Insert}, 0},
    {0x2E, {KEY_DELETE}, {XK_Delete}, 0},
    {0x24, {KEY_HOME}, {XK_Home}, 0},
    {0x23, {KEY_END}, {XK_End}, 0},
    {0x21, {KEY_PAGEUP}, {XK_Prior}, 0},
    {0x22, {KEY_PAGEDOWN}, {XK_Next}, 0},
    {0x26, {KEY_UP}, {XK_Up}, 0},
    {0x28, {KEY_DOWN}, {XK_Down}, 0},
    {0x25, {KEY_LEFT}, {XK_Left}, 0},
    {0x27, {KEY_RIGHT}, {XK_Right}, 0},
    {0x01, {BTN_LEFT}, {}, 1},
    {0x02, {BTN_RIGHT}, {}, 3},
    {0x04, {BTN_MIDDLE}, {}, 2},
    {0x05, {BTN_SIDE}, {}, 8},
    {0x06, {BTN_EXTRA}, {}, 9},
};

struct PadButton {
  uint32_t mask;
  SDL_GameControllerButton button;
};

constexpr PadButton kPadButtons[] = {
    {0x0001, SDL_CONTROLLER_BUTTON_DPAD_UP},     {0x0002, SDL_CONTROLLER_BUTTON_DPAD_DOWN},
    {0x0004, SDL_CONTROLLER_BUTTON_DPAD_LEFT},   {0x0008, SDL_CONTROLLER_BUTTON_DPAD_RIGHT},
    {0x0010, SDL_CONTROLLER_BUTTON_START},       {0x0020, SDL_CONTROLLER_BUTTON_BACK},
    {0x0040, SDL_CONTROLLER_BUTTON_LEFTSTICK},   {0x0080, SDL_CONTROLLER_BUTTON_RIGHTSTICK},
    {0x0100, SDL_CONTROLLER_BUTTON_LEFTSHOULDER}, {0x0200, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER},
    {0x1000, SDL_CONTROLLER_BUTTON_A},           {0x2000, SDL_CONTROLLER_BUTTON_B},
    {0x4000, SDL_CONTROLLER_BUTTON_X},           {0x8000, SDL_CONTROLLER_BUTTON_Y},
};

}  // namespace

const LinuxKey* linuxKeyFor(uint32_t virtualKey) {
  for (const LinuxKey& key : kKeys) {
    if (key.virtualKey == virtualKey) return &key;
  }
  return nullptr;
}

int sdlButtonForPadMask(uint32_t mask) {
  for (const PadButton& pad : kPadButtons) {
    if (pad.mask == mask) return pad.button;
  }
  return -1;
}

}  // namespace rivulo
