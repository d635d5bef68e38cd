// The Start/Stop hotkey against real device layers: an X server of our own
// (Xvfb) driven through xdotool, and virtual uinput devices where the kernel
// offers them. The editor's window is a fake that never has the focus, so
// every press comes in as it would while another program is in front.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/uinput.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/editor.h"
#include "app/hotkey_table.h"
#include "platform/linux/linux_hotkeys.h"
#include "platform/linux/linux_key_map.h"
#include "tests/support/fake_packet_driver.h"
#include "tests/support/fake_window_actions.h"
#include "tests/support/run_command.h"

namespace rivulo {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A window that is minimised and never has the focus.
test::FakeWindowActions backgroundWindow() {
  test::FakeWindowActions window;
  window.minimized = true;
  window.focused = false;
  return window;
}

// An X server of the test's own, gone with the object.
class Xvfb {
 public:
  Xvfb() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 3);
      execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "800x600x24", nullptr);
      _exit(127);
    }
    ::close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline && number.find('\n') == std::string::npos) {
      if (::poll(&p, 1, 200) <= 0) continue;
      char c[16];
      ssize_t n = ::read(fds[0], c, sizeof(c));
      if (n <= 0) break;
      number.append(c, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (number.find('\n') != std::string::npos) display_ = ":" + number.substr(0, number.find('\n'));
  }
  ~Xvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

int rowOf(const char* name) {
  const int row = hotkeyRowByName(name);
  EXPECT_GE(row, 0) << name;
  return row;
}

// Every outcome of a toggle logs one line: a start, a failed start or a stop.
int toggles(const Editor& editor) {
  int count = 0;
  for (const LogEntry& e : editor.eventLog) {
    for (const char* prefix : {"ACTIVE simulation started.", "Could not start active simulation: ", "Simulation stopped."}) {
      count += e.text.rfind(prefix, 0) == 0 ? 1 : 0;
    }
  }
  return count;
}

// Polls the hotkey at about the frame rate until `done` or the time is up.
bool pollUntil(Editor& editor, const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms) {
  const auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline) {
    editor.pollHotkey();
    if (done()) return true;
    std::this_thread::sleep_for(15ms);
  }
  return done();
}

void pollFor(Editor& editor, std::chrono::milliseconds span) {
  pollUntil(editor, [] { return false; }, span);
}

class HotkeyUnderX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::commandExists("Xvfb") || !test::commandExists("xdotool")) GTEST_SKIP() << "needs Xvfb and xdotool (scripts/setup installs them)";
    xvfb = std::make_unique<Xvfb>();
    if (xvfb->display().empty()) GTEST_SKIP() << "Xvfb did not start";
    LinuxHotkeyOptions options;
    // Only the X server: evdev would read this machine's real devices.
    options.inputDirectory = (std::filesystem::temp_directory_path() / "rivulo-no-input").string();
    options.display = xvfb->display().c_str();
    options.useGamepads = false;
    source = makeLinuxHotkeySource(options);
    ASSERT_STREQ(source->unavailableReason(), "");
    EditorServices services;
    services.hotkeys = source.get();
    services.window = &window;
    services.packetDrivers = network->factory();
    editor = std::make_unique<Editor>(services);
  }

  void xdotool(const std::string& args) {
    const auto result = test::runCommand("DISPLAY=" + xvfb->display() + " timeout 5 xdotool " + args);
    ASSERT_EQ(result.exitCode, 0) << result.output;
  }

  std::unique_ptr<Xvfb> xvfb;
  std::shared_ptr<test::FakeNetwork> network = test::FakeNetwork::create();
  test::FakeWindowActions window = backgroundWindow();
  std::shared_ptr<HotkeySource> source;
  std::unique_ptr<Editor> editor;
};

TEST_F(HotkeyUnderX11, KeyPressedThroughTheServerStartsAndStopsTheSimulation) {
  editor->chooseHotkey(rowOf("F8"));
  xdotool("keydown F8");
  EXPECT_TRUE(pollUntil(*editor, [&] { return editor->simulationActive; }));
  pollFor(*editor, 400ms);  // held: no more toggles
  EXPECT_EQ(toggles(*editor), 1);
  EXPECT_TRUE(editor->simulationActive);
  xdotool("keyup F8");
  pollUntil(*editor, [&] { return !editor->hotkeyWasDown; });
  xdotool("keydown F8");
  EXPECT_TRUE(pollUntil(*editor, [&] { return !editor->simulationActive; }));
  xdotool("keyup F8");
  // Another key does nothing.
  xdotool("keydown F9");
  pollFor(*editor, 300ms);
  xdotool("keyup F9");
  pollFor(*editor, 100ms);
  EXPECT_EQ(toggles(*editor), 2);
  EXPECT_EQ(editor->eventLog.back().text, "Simulation stopped. Timer paused and held packets were flushed.");
}

TEST_F(HotkeyUnderX11, SideButtonAlreadyHeldWhenChosenWaitsForTheNextPress) {
  xdotool("mousedown 8");
  pollFor(*editor, 200ms);
  editor->chooseHotkey(rowOf("Mouse Side 1 (X1)"));
  EXPECT_TRUE(editor->hotkeyWasDown);
  pollFor(*editor, 300ms);
  xdotool("mouseup 8");
  EXPECT_TRUE(pollUntil(*editor, [&] { return !editor->hotkeyWasDown; }));
  EXPECT_EQ(toggles(*editor), 0);
  xdotool("mousedown 8");
  EXPECT_TRUE(pollUntil(*editor, [&] { return toggles(*editor) == 1; }));
  xdotool("mouseup 8");
  // The other side button is not this one.
  editor->chooseHotkey(rowOf("Mouse Side 2 (X2)"));
  xdotool("click 8");
  pollFor(*editor, 300ms);
  EXPECT_EQ(toggles(*editor), 1);
  xdotool("mousedown 9");
  EXPECT_TRUE(pollUntil(*editor, [&] { return toggles(*editor) == 2; }));
  xdotool("mouseup 9");
}

TEST(LinuxHotkeySource, SaysWhyWhenNothingCanBeRead) {
  LinuxHotkeyOptions options;
  options.inputDirectory = (std::filesystem::temp_directory_path() / "rivulo-no-input").string();
  options.display = ":65000";  // no such server
  options.useGamepads = false;
  auto source = makeLinuxHotkeySource(options);
  EXPECT_STREQ(source->unavailableReason(), "Global hotkey unavailable: no access to /dev/input and no X11 display.");
  source->poll();
  EXPECT_FALSE(source->isDown(hotkeyTable()[static_cast<size_t>(rowOf("Space"))]));
}

TEST(LinuxKeyMap, EveryRowReachesALinuxInput) {
  std::set<int> padButtons;
  for (const HotkeyBinding& b : hotkeyTable()) {
    if (b.kind == kHotkeyVirtualKey) {
      const LinuxKey* key = linuxKeyFor(b.code);
      ASSERT_NE(key, nullptr) << b.name;
      EXPECT_NE(key->evdevCodes[0], 0) << b.name;
      EXPECT_TRUE(key->keysyms[0] != 0 || key->xButton != 0) << b.name;
    } else if (b.kind == kHotkeyPadButton) {
      const int button = sdlButtonForPadMask(b.code);
      EXPECT_GE(button, 0) << b.name;
      EXPECT_TRUE(padButtons.insert(button).second) << b.name;
    }
  }
  // Spot checks where a slip is easy: positions, sides, the side buttons.
  EXPECT_EQ(linuxKeyFor(0xC0)->evdevCodes[0], KEY_GRAVE);
  EXPECT_EQ(linuxKeyFor(0xDE)->evdevCodes[0], KEY_APOSTROPHE);
  EXPECT_EQ(linuxKeyFor(0xA1)->evdevCodes[0], KEY_RIGHTSHIFT);
  EXPECT_EQ(linuxKeyFor(0x11)->evdevCodes[1], KEY_RIGHTCTRL);
  EXPECT_EQ(linuxKeyFor(0x05)->evdevCodes[0], BTN_SIDE);
  EXPECT_EQ(linuxKeyFor(0x06)->xButton, 9);
  EXPECT_EQ(sdlButtonForPadMask(0x1000), SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(sdlButtonForPadMask(0x0100), SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
}

// A virtual input device made through /dev/uinput, removed with the object.
class UinputDevice {
 public:
  struct Axis {
    uint16_t code;
    int32_t min, max;
  };

  UinputDevice(const char* name, uint16_t vendor, uint16_t product, uint16_t version,
               const std::vector<uint16_t>& keys, const std::vector<Axis>& axes) {
    fd_ = ::open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    ioctl(fd_, UI_SET_EVBIT, EV_KEY);
    for (uint16_t k : keys) ioctl(fd_, UI_SET_KEYBIT, k);
    if (!axes.empty()) ioctl(fd_, UI_SET_EVBIT, EV_ABS);
    uinput_user_dev dev{};
    std::strncpy(dev.name, name, UINPUT_MAX_NAME_SIZE - 1);
    dev.id.bustype = BUS_USB;
    dev.id.vendor = vendor;
    dev.id.product = product;
    dev.id.version = version;
    for (const Axis& a : axes) {
      ioctl(fd_, UI_SET_ABSBIT, a.code);
      dev.absmin[a.code] = a.min;
      dev.absmax[a.code] = a.max;
    }
    if (::write(fd_, &dev, sizeof(dev)) != static_cast<ssize_t>(sizeof(dev)) || ioctl(fd_, UI_DEV_CREATE) < 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~UinputDevice() {
    if (fd_ >= 0) {
      ioctl(fd_, UI_DEV_DESTROY);
      ::close(fd_);
    }
  }
  bool ok() const { return fd_ >= 0; }

  void emit(uint16_t type, uint16_t code, int32_t value) {
    input_event events[2]{};
    events[0].type = type;
    events[0].code = code;
    events[0].value = value;
    events[1].type = EV_SYN;
    events[1].code = SYN_REPORT;
    ASSERT_EQ(::write(fd_, events, sizeof(events)), static_cast<ssize_t>(sizeof(events)));
  }

 private:
  int fd_ = -1;
};

bool uinputAvailable(std::string& why) {
  if (access("/dev/uinput", W_OK) != 0) {
    why = "no writable /dev/uinput on this machine (no uinput module, or not root)";
    return false;
  }
  return true;
}

// Long enough for a periodic rescan where /dev/input cannot be watched.
bool waitFor(HotkeySource& source, const HotkeyBinding& binding, bool down, std::chrono::milliseconds limit = 5000ms) {
  const auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline) {
    source.poll();
    if (source.isDown(binding) == down) return true;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

TEST(HotkeyUinput, VirtualKeyboardAndMouseReachTheEvdevPath) {
  std::string why;
  if (!uinputAvailable(why)) GTEST_SKIP() << why;
  LinuxHotkeyOptions options;
  options.useX11 = false;
  options.useGamepads = false;
  auto source = makeLinuxHotkeySource(options);
  // Plugged in after the source started: found through the directory watch.
  UinputDevice keyboard("rivulo test keyboard", 0x1234, 0x0001, 1,
                        {KEY_A, KEY_SPACE, KEY_ENTER, KEY_F8, KEY_LEFTSHIFT, KEY_RIGHTSHIFT, BTN_LEFT, BTN_SIDE}, {});
  ASSERT_TRUE(keyboard.ok());
  const HotkeyBinding& f8 = hotkeyTable()[static_cast<size_t>(rowOf("F8"))];
  const HotkeyBinding& shift = hotkeyTable()[static_cast<size_t>(rowOf("Shift"))];
  const HotkeyBinding& leftShift = hotkeyTable()[static_cast<size_t>(rowOf("Left Shift"))];
  const HotkeyBinding& side = hotkeyTable()[static_cast<size_t>(rowOf("Mouse Side 1 (X1)"))];
  EXPECT_TRUE(waitFor(*source, f8, false));
  keyboard.emit(EV_KEY, KEY_F8, 1);
  EXPECT_TRUE(waitFor(*source, f8, true));
  keyboard.emit(EV_KEY, KEY_F8, 0);
  EXPECT_TRUE(waitFor(*source, f8, false));
  keyboard.emit(EV_KEY, KEY_RIGHTSHIFT, 1);
  EXPECT_TRUE(waitFor(*source, shift, true));
  EXPECT_FALSE(source->isDown(leftShift));
  keyboard.emit(EV_KEY, KEY_RIGHTSHIFT, 0);
  keyboard.emit(EV_KEY, BTN_SIDE, 1);
  EXPECT_TRUE(waitFor(*source, side, true));
  keyboard.emit(EV_KEY, BTN_SIDE, 0);
  EXPECT_TRUE(waitFor(*source, side, false));
}

TEST(HotkeyUinput, VirtualPadButtonsAndTriggerThreshold) {
  std::string why;
  if (!uinputAvailable(why)) GTEST_SKIP() << why;
  // Laid out like the kernel's xpad driver presents an Xbox 360 pad.
  UinputDevice pad("Microsoft X-Box 360 pad", 0x045e, 0x028e, 0x0110,
                   {BTN_SOUTH, BTN_EAST, BTN_NORTH, BTN_WEST, BTN_TL, BTN_TR, BTN_SELECT, BTN_START, BTN_MODE,
                    BTN_THUMBL, BTN_THUMBR},
                   {{ABS_X, -32768, 32767}, {ABS_Y, -32768, 32767}, {ABS_Z, 0, 255}, {ABS_RX, -32768, 32767},
                    {ABS_RY, -32768, 32767}, {ABS_RZ, 0, 255}, {ABS_HAT0X, -1, 1}, {ABS_HAT0Y, -1, 1}});
  ASSERT_TRUE(pad.ok());
  LinuxHotkeyOptions options;
  options.useX11 = false;
  auto source = makeLinuxHotkeySource(options);
  const HotkeyBinding& a = hotkeyTable()[static_cast<size_t>(rowOf("Xbox A"))];
  const HotkeyBinding& lt = hotkeyTable()[static_cast<size_t>(rowOf("Xbox LT"))];
  bool listed = false;
  for (auto deadline = Clock::now() + 3s; !listed && Clock::now() < deadline; std::this_thread::sleep_for(50ms)) {
    SDL_GameControllerUpdate();
    for (int i = 0; i < SDL_NumJoysticks(); ++i) listed = listed || SDL_IsGameController(i);
  }
  if (!listed) GTEST_SKIP() << "SDL lists no game controller for the virtual pad on this machine";
  pad.emit(EV_KEY, BTN_SOUTH, 1);
  EXPECT_TRUE(waitFor(*source, a, true));
  pad.emit(EV_KEY, BTN_SOUTH, 0);
  EXPECT_TRUE(waitFor(*source, a, false));
  pad.emit(EV_ABS, ABS_Z, 30);
  EXPECT_TRUE(waitFor(*source, lt, false));
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(source->isDown(lt));
  pad.emit(EV_ABS, ABS_Z, 31);
  EXPECT_TRUE(waitFor(*source, lt, true));
  pad.emit(EV_ABS, ABS_Z, 0);
  EXPECT_TRUE(waitFor(*source, lt, false));
}

}  // namespace
}  // namespace rivulo
