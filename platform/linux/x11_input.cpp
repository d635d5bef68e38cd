#include "platform/linux/x11_input.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace rivulo {

struct X11Input::Connection {
  Display* display = nullptr;
  ~Connection() {
    if (display != nullptr) XCloseDisplay(display);
  }
};

std::unique_ptr<X11Input> X11Input::open(const char* displayName) {
  auto connection = std::make_unique<Connection>();
  connection->display = XOpenDisplay(displayName);
  if (connection->display == nullptr) return nullptr;
  std::unique_ptr<X11Input> input(new X11Input(std::move(connection)));
  input->selectRawButtons();
  return input;
}

X11Input::X11Input(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}

X11Input::~X11Input() = default;

void X11Input::selectRawButtons() {
  Display* display = connection_->display;
  int event = 0, error = 0, opcode = 0;
  if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return;
  // Raw events reach a root-window selection also during another client's
  // grab from XInput 2.1 on.
  int major = 2, minor = 2;
  if (XIQueryVersion(display, &major, &minor) != Success) return;
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawButtonPress);
  XISetMask(bits, XI_RawButtonRelease);
  XIEventMask mask;
  mask.deviceid = XIAllMasterDevices;
  mask.mask_len = sizeof(bits);
  mask.mask = bits;
  if (XISelectEvents(display, DefaultRootWindow(display), &mask, 1) != Success) return;
  xiOpcode_ = opcode;

  // Buttons already held when we started: the core protocol knows 1 to 5.
  Window root = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned int state = 0;
  if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &state)) {
    const unsigned int masks[] = {Button1Mask, Button2Mask, Button3Mask, Button4Mask, Button5Mask};
    for (int b = 0; b < 5; ++b) buttons_[static_cast<size_t>(b + 1)] = (state & masks[b]) != 0;
  }
  XFlush(display);
}

void X11Input::poll() {
  keymapFresh_ = false;
  Display* display = connection_->display;
  // XPending reads what the socket holds without waiting for more.
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MappingNotify) {
      XRefreshKeyboardMapping(&event.xmapping);
      continue;
    }
    if (event.type != GenericEvent || event.xcookie.extension != xiOpcode_) continue;
    if (!XGetEventData(display, &event.xcookie)) continue;
    const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
    const bool press = event.xcookie.evtype == XI_RawButtonPress;
    if ((press || event.xcookie.evtype == XI_RawButtonRelease) && raw->detail > 0 &&
        raw->detail < static_cast<int>(buttons_.size())) {
      buttons_[static_cast<size_t>(raw->detail)] = press;
    }
    XFreeEventData(display, &event.xcookie);
  }
}

bool X11Input::keyDown(unsigned long keysym) {
  Display* display = connection_->display;
  const KeyCode code = XKeysymToKeycode(display, keysym);
  if (code == 0) return false;
  if (!keymapFresh_) {
    XQueryKeymap(display, keymap_.data());
    keymapFresh_ = true;
  }
  return (keymap_[code / 8] >> (code % 8)) & 1;
}

bool X11Input::buttonDown(int button) {
  if (button <= 0 || button >= static_cast<int>(buttons_.size())) return false;
  if (xiOpcode_ < 0) {
    // Without XInput2 only the core buttons can be asked for.
    Display* display = connection_->display;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int state = 0;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &state)) {
      return false;
    }
    return button <= 5 && (state & (Button1Mask << (button - 1))) != 0;
  }
  return buttons_[static_cast<size_t>(button)];
}

}  // namespace rivulo
