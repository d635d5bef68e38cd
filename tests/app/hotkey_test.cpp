// The Start/Stop hotkey: its table, the press edge, the text-field rule and
// the HOTKEY combo.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/editor.h"
#include "app/hotkey_table.h"
#include "tests/support/fake_window_actions.h"
#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

// Device state a test sets by hand.
class FakeHotkeySource final : public HotkeySource {
 public:
  std::set<std::pair<uint32_t, uint32_t>> down;  // (kind, code)
  std::string reason;

  bool isDown(const HotkeyBinding& binding) override { return down.count({binding.kind, binding.code}) != 0; }
  const char* unavailableReason() const override { return reason.c_str(); }
  void hold(const HotkeyBinding& b) { down.insert({b.kind, b.code}); }
  void release(const HotkeyBinding& b) { down.erase({b.kind, b.code}); }
};

using test::FakeWindowActions;

int rowOf(const char* name) {
  const auto& table = hotkeyTable();
  for (int i = 0; i < kHotkeyRowCount; ++i) {
    if (std::strcmp(table[static_cast<size_t>(i)].name, name) == 0) return i;
  }
  ADD_FAILURE() << "no hotkey row " << name;
  return 0;
}

const HotkeyBinding& row(const char* name) { return hotkeyTable()[static_cast<size_t>(rowOf(name))]; }

// Without a packet driver every start fails and says so: one such line per
// toggle while the simulation stays stopped.
int toggles(const Editor& editor) {
  int count = 0;
  for (const LogEntry& entry : editor.eventLog) {
    count += entry.text.rfind("Could not start active simulation: ", 0) == 0 ? 1 : 0;
  }
  return count;
}

TEST(HotkeyTable, RowsKeepTheirPlaceNameKindAndCode) {
  struct Case {
    int index;
    const char* name;
    uint32_t kind;
    uint32_t code;
  };
  const Case cases[] = {
      {0, "None", 0, 0},           {1, "0", 1, 0x30},          {10, "9", 1, 0x39},
      {11, "A", 1, 0x41},          {36, "Z", 1, 0x5A},         {37, "F1", 1, 0x70},
      {48, "F12", 1, 0x7B},        {49, "` / ~", 1, 0xC0},     {50, "- / _", 1, 0xBD},
      {59, "/ / ?", 1, 0xBF},      {60, "Space", 1, 0x20},     {65, "Shift", 1, 0x10},
      {73, "Right Alt", 1, 0xA5},  {84, "Arrow Right", 1, 0x27}, {85, "Mouse Left", 1, 0x01},
      {89, "Mouse Side 2 (X2)", 1, 0x06}, {90, "Xbox A", 2, 0x1000}, {99, "Xbox Right Stick", 2, 0x0080},
      {103, "Xbox D-Pad Right", 2, 0x0008}, {104, "Xbox LT", 3, 0}, {105, "Xbox RT", 4, 0},
  };
  const auto& table = hotkeyTable();
  ASSERT_EQ(table.size(), 106u);
  for (const Case& c : cases) {
    const HotkeyBinding& b = table[static_cast<size_t>(c.index)];
    EXPECT_STREQ(b.name, c.name) << "row " << c.index;
    EXPECT_EQ(b.kind, c.kind) << "row " << c.index;
    EXPECT_EQ(b.code, c.code) << "row " << c.index;
  }
}

TEST(HotkeyTable, NamesAndCodesAreUniqueWithinTheirKind) {
  std::set<std::string> names;
  std::set<std::pair<uint32_t, uint32_t>> codes;
  for (const HotkeyBinding& b : hotkeyTable()) {
    EXPECT_TRUE(names.insert(b.name).second) << b.name;
    if (b.kind == kHotkeyVirtualKey || b.kind == kHotkeyPadButton) {
      EXPECT_TRUE(codes.insert({b.kind, b.code}).second) << b.name;
    }
  }
}

TEST(HotkeyTable, CommandLineChoosesARowByItsName) {
  struct Case {
    std::vector<const char*> args;
    const char* hotkey;
    bool ok;
  };
  const Case cases[] = {
      {{"rivulo", "--hotkey", "F8"}, "F8", true},
      {{"rivulo", "--hotkey", "Mouse Side 1 (X1)"}, "Mouse Side 1 (X1)", true},
      {{"rivulo", "--hotkey", "f8"}, "", false},
      {{"rivulo", "--hotkey"}, "", false},
  };
  for (const Case& c : cases) {
    const CommandLine cl = parseCommandLine(static_cast<int>(c.args.size()), c.args.data());
    EXPECT_EQ(cl.error.empty(), c.ok) << cl.error;
    if (c.ok) {
      EXPECT_EQ(cl.hotkey, c.hotkey);
    }
  }
  EXPECT_EQ(hotkeyRowByName("` / ~"), 49);
}

TEST(HotkeyTrigger, FiresAboveThirtyOnTheByteScale) {
  EXPECT_FALSE(triggerPressed(30));
  EXPECT_TRUE(triggerPressed(31));
  EXPECT_EQ(triggerByteFromAxis(-5), 0u);
  EXPECT_EQ(triggerByteFromAxis(32767), 255u);
  // An 8-bit trigger reaches us widened to a signed 16-bit axis (x 257) and
  // then halved onto the trigger's 0..32767: every byte must come back whole,
  // or 31 would read as 30 and not fire.
  for (int byte = 0; byte <= 255; ++byte) {
    const int axis = static_cast<int>(static_cast<long>(byte) * 257 * 32767 / 65535);
    EXPECT_EQ(triggerByteFromAxis(axis), static_cast<uint32_t>(byte)) << "axis " << axis;
  }
}

// The press edge, frame by frame: `pattern` is the binding's state per poll,
// `expected` the toggles after the last one.
TEST(HotkeyPoll, TogglesOncePerPressHoweverLongItIsHeld) {
  struct Case {
    const char* binding;
    std::string pattern;  // '#' down, '.' up
    int expected;
  };
  const std::string longHold(600, '#');  // ten seconds at 60 frames
  const Case cases[] = {
      {"None", "####..####", 0},
      {"F8", longHold, 1},
      {"F8", "." + longHold + "..." + longHold, 2},
      {"Xbox A", "#.#.#.", 3},
      {"Xbox LT", "..####....", 1},
  };
  for (const Case& c : cases) {
    FakeHotkeySource source;
    EditorServices services;
    services.hotkeys = &source;
    Editor editor(services);
    editor.chooseHotkey(rowOf(c.binding));
    for (char state : c.pattern) {
      if (state == '#') {
        source.hold(row(c.binding));
      } else {
        source.release(row(c.binding));
      }
      editor.pollHotkey();
    }
    EXPECT_EQ(toggles(editor), c.expected) << c.binding << " " << c.pattern.size();
    if (std::string(c.binding) == "None") {
      EXPECT_FALSE(editor.hotkeyWasDown);
    }
  }
}

TEST(HotkeyPoll, NoDeviceSourceNeverFires) {
  Editor editor;
  editor.chooseHotkey(rowOf("Space"));
  for (int i = 0; i < 10; ++i) editor.pollHotkey();
  EXPECT_EQ(toggles(editor), 0);
  EXPECT_EQ(editor.eventLog.back().text,
            "Global hotkey unavailable: no input devices can be read on this system.");
}

// With one of our own text fields being edited in the focused window, a key
// binding is tracked but never fires; out of the foreground it fires, and a
// pad binding fires either way.
TEST(HotkeyPoll, TextFieldInTheForegroundSilencesKeysOnly) {
  struct Case {
    const char* binding;
    bool focused;
    int expected;
  };
  const Case cases[] = {
      {"S", true, 0},
      {"S", false, 1},
      {"Xbox A", true, 1},
  };
  for (const Case& c : cases) {
    FakeHotkeySource source;
    FakeWindowActions window;
    window.focused = c.focused;
    EditorServices services;
    services.hotkeys = &source;
    services.window = &window;
    test::UiHarness ui(ImVec2(1600, 900), services);
    bool focusField = true;
    char text[64] = {};
    ui.afterDraw = [&] {
      ImGui::SetNextWindowPos(ImVec2(700, 400));
      ImGui::Begin("##HotkeyFieldProbe", nullptr, ImGuiWindowFlags_NoSavedSettings);
      if (focusField) ImGui::SetKeyboardFocusHere();
      focusField = false;
      ImGui::InputText("##ProbeField", text, sizeof(text));
      ImGui::End();
    };
    ui.editor().chooseHotkey(rowOf(c.binding));
    ui.frame(3);
    ASSERT_TRUE(ImGui::GetIO().WantTextInput);
    source.hold(row(c.binding));
    ui.frame(5);
    source.release(row(c.binding));
    ui.frame(2);
    EXPECT_EQ(toggles(ui.editor()), c.expected) << c.binding << (c.focused ? " focused" : " background");
  }
}

TEST(HotkeyPoll, KeyHeldThroughTypingDoesNotFireWhenTheFieldCloses) {
  FakeHotkeySource source;
  EditorServices services;
  services.hotkeys = &source;  // no window: counts as the foreground
  test::UiHarness ui(ImVec2(1600, 900), services);
  bool showField = true;
  bool focusField = true;
  char text[64] = {};
  ui.afterDraw = [&] {
    if (!showField) return;
    ImGui::SetNextWindowPos(ImVec2(700, 400));
    ImGui::Begin("##HotkeyFieldProbe", nullptr, ImGuiWindowFlags_NoSavedSettings);
    if (focusField) ImGui::SetKeyboardFocusHere();
    focusField = false;
    ImGui::InputText("##ProbeField", text, sizeof(text));
    ImGui::End();
  };
  ui.editor().chooseHotkey(rowOf("S"));
  ui.frame(3);
  source.hold(row("S"));
  ui.frame(3);
  showField = false;
  ui.frame(5);
  EXPECT_EQ(toggles(ui.editor()), 0);
  source.release(row("S"));
  ui.frame(2);
  source.hold(row("S"));
  ui.frame(2);
  EXPECT_EQ(toggles(ui.editor()), 1);
}

class HotkeySelector : public ::testing::Test {
 protected:
  HotkeySelector() : ui(ImVec2(1600, 900), services()) {
    ui.frame();
    // Until the top bar places the combo, the test places it itself.
    if (!ui.hasItem("##SimulationHotkey")) {
      ui.afterDraw = [this] {
        ImGui::SetNextWindowPos(ImVec2(600, 120));
        ImGui::SetNextWindowSize(ImVec2(300, 80));
        ImGui::Begin("##HotkeySelectorProbe", nullptr, ImGuiWindowFlags_NoSavedSettings);
        ui.editor().drawHotkeySelector(138.0f);
        ImGui::End();
      };
      ui.frame();
    }
  }

  EditorServices services() {
    EditorServices s;
    s.hotkeys = &source;
    return s;
  }

  void choose(const char* name) {
    ui.click(ui.itemCenter("##SimulationHotkey"));
    ui.frame();
    ui.click(ui.itemCenter(name));
    ui.frame();
  }

  FakeHotkeySource source;
  test::UiHarness ui;
};

TEST_F(HotkeySelector, ChoosingTheRowOfAHeldInputWaitsForTheNextPress) {
  source.hold(row("4"));
  choose("4");
  EXPECT_EQ(ui.editor().hotkeyIndex, rowOf("4"));
  EXPECT_TRUE(ui.editor().hotkeyWasDown);
  EXPECT_EQ(ui.logCount("Start/Stop hotkey set to: 4"), 1);
  ui.frame(30);
  EXPECT_EQ(toggles(ui.editor()), 0);
  source.release(row("4"));
  ui.frame(2);
  EXPECT_EQ(toggles(ui.editor()), 0);
  source.hold(row("4"));
  ui.frame(2);
  EXPECT_EQ(toggles(ui.editor()), 1);
}

TEST_F(HotkeySelector, OpensOnTheCurrentRowAndShowsItAsPreview) {
  ui.editor().chooseHotkey(rowOf("Xbox A"));
  ui.click(ui.itemCenter("##SimulationHotkey"));
  ui.frame();
  // The list scrolled to the current row, far from the top of the table.
  EXPECT_TRUE(ui.hasItem("Xbox A"));
  EXPECT_FALSE(ui.hasItem("None"));
  ui.click(ui.itemCenter("Xbox B"));
  ui.frame();
  EXPECT_EQ(ui.editor().hotkeyIndex, rowOf("Xbox B"));
  EXPECT_EQ(ui.lastLog(), "Start/Stop hotkey set to: Xbox B");
}

TEST_F(HotkeySelector, SaysWhyWhenNoDeviceCanBeRead) {
  source.reason = "Global hotkey unavailable: no access to /dev/input and no X11 display.";
  choose("1");
  EXPECT_EQ(ui.logCount("Start/Stop hotkey set to: 1"), 1);
  EXPECT_EQ(ui.lastLog(), source.reason);
  // Turning the hotkey off needs no explanation.
  ui.editor().chooseHotkey(0);
  EXPECT_EQ(ui.lastLog(), "Start/Stop hotkey set to: None");
}

}  // namespace
}  // namespace rivulo
