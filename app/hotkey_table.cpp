#include "app/hotkey_table.h"

namespace rivulo {

namespace {

constexpr uint32_t K = kHotkeyVirtualKey;
constexpr uint32_t P = kHotkeyPadButton;

constexpr std::array<HotkeyBinding, kHotkeyRowCount> kTable = {{
    {"None", kHotkeyNone, 0},
    {"0", K, 0x30}, {"1", K, 0x31}, {"2", K, 0x32}, {"3", K, 0x33}, {"4", K, 0x34},
    {"5", K, 0x35}, {"6", K, 0x36}, {"7", K, 0x37}, {"8", K, 0x38}, {"9", K, 0x39},
    {"A", K, 0x41}, {"B", K, 0x42}, {"C", K, 0x43}, {"D", K, 0x44}, {"E", K, 0x45},
    {"F", K, 0x46}, {"G", K, 0x47}, {"H", K, 0x48}, {"I", K, 0x49}, {"J", K, 0x4A},
    {"K", K, 0x4B}, {"L", K, 0x4C}, {"M", K, 0x4D}, {"N", K, 0x4E}, {"O", K, 0x4F},
    {"P", K, 0x50}, {"Q", K, 0x51}, {"R", K, 0x52}, {"S", K, 0x53}, {"T", K, 0x54},
    {"U", K, 0x55}, {"V", K, 0x56}, {"W", K, 0x57}, {"X", K, 0x58}, {"Y", K, 0x59},
    {"Z", K, 0x5A},
    {"F1", K, 0x70}, {"F2", K, 0x71}, {"F3", K, 0x72}, {"F4", K, 0x73}, {"F5", K, 0x74},
    {"F6", K, 0x75}, {"F7", K, 0x76}, {"F8", K, 0x77}, {"F9", K, 0x78}, {"F10", K, 0x79},
    {"F11", K, 0x7A}, {"F12", K, 0x7B},
    {"` / ~", K, 0xC0},
    {"- / _", K, 0xBD},
    {"= / +", K, 0xBB},
    {"[ / {", K, 0xDB},
    {"] / }", K, 0xDD},
    {"Backslash / Pipe", K, 0xDC},
    {"; / :", K, 0xBA},
    {"Apostrophe / Quote", K, 0xDE},
    {", / <", K, 0xBC},
    {". / >", K, 0xBE},
    {"/ / ?", K, 0xBF},
    {"Space", K, 0x20},
    {"Tab", K, 0x09},
    {"Enter", K, 0x0D},
    {"Escape", K, 0x1B},
    {"Backspace", K, 0x08},
    {"Shift", K, 0x10},
    {"Left Shift", K, 0xA0},
    {"Right Shift", K, 0xA1},
    {"Ctrl", K, 0x11},
    {"Left Ctrl", K, 0xA2},
    {"Right Ctrl", K, 0xA3},
    {"Alt", K, 0x12},
    {"Left Alt", K, 0xA4},
    {"Right Alt", K, 0xA5},
    {"Caps Lock", K, 0x14},
    {"Insert", K, 0x2D},
    {"Delete", K, 0x2E},
    {"Home", K, 0x24},
    {"End", K, 0x23},
    {"Page Up", K, 0x21},
    {"Page Down", K, 0x22},
    {"Arrow Up", K, 0x26},
    {"Arrow Down", K, 0x28},
    {"Arrow Left", K, 0x25},
    {"Arrow Right", K, 0x27},
    {"Mouse Left", K, 0x01},
    {"Mouse Right", K, 0x02},
    {"Mouse Middle", K, 0x04},
    {"Mouse Side 1 (X1)", K, 0x05},
    {"Mouse Side 2 (X2)", K, 0x06},
    {"Xbox A", P, 0x1000},
    {"Xbox B", P, 0x2000},
    {"Xbox X", P, 0x4000},
    {"Xbox Y", P, 0x8000},
    {"Xbox LB", P, 0x0100},
    {"Xbox RB", P, 0x0200},
    {"Xbox Back", P, 0x0020},
    {"Xbox Start", P, 0x0010},
    {"Xbox Left Stick", P, 0x0040},
    {"Xbox Right Stick", P, 0x0080},
    {"Xbox D-Pad Up", P, 0x0001},
    {"Xbox D-Pad Down", P, 0x0002},
    {"Xbox D-Pad Left", P, 0x0004},
    {"Xbox D-Pad Right", P, 0x0008},
    {"Xbox LT", kHotkeyLeftTrigger, 0},
    {"Xbox RT", kHotkeyRightTrigger, 0},
}};

}  // namespace

const std::array<HotkeyBinding, kHotkeyRowCount>& hotkeyTable() { return kTable; }

int hotkeyRowByName(std::string_view name) {
  for (size_t i = 0; i < kTable.size(); ++i) {
    if (name == kTable[i].name) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace rivulo
