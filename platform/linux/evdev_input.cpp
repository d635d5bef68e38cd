#include "platform/linux/evdev_input.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>


namespace rivulo {

namespace {

constexpr size_t kBitsPerLong = sizeof(unsigned long) * CHAR_BIT;
constexpr size_t kKeyWords = (KEY_MAX + kBitsPerLong) / kBitsPerLong;
// Without a directory watch (no inotify, or no directory yet) devices are
// looked for this often.
constexpr auto kPeriodicScan = std::chrono::seconds(2);

bool testBit(const std::vector<unsigned long>& bits, unsigned code) {
  const size_t word = code / kBitsPerLong;
  return word < bits.size() && ((bits[word] >> (code % kBitsPerLong)) & 1UL) != 0;
}

// A keyboard or a mouse: it reports some key or button a hotkey row can name.
// Game-pads, power buttons and lid switches are left to others.
bool reportsHotkeyInput(const std::vector<unsigned long>& keys) {
  for (unsigned code : {KEY_A, KEY_SPACE, KEY_ENTER, KEY_F1, KEY_LEFTSHIFT, KEY_UP, BTN_LEFT, BTN_RIGHT, BTN_SIDE}) {
    if (testBit(keys, code)) return true;
  }
  return false;
}

}  // namespace

EvdevInput::EvdevInput(std::string directory) : directory_(std::move(directory)) {
  inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  watchDirectory();
  rescan();
}

EvdevInput::~EvdevInput() {
  for (Device& device : devices_) closeDevice(device);
  if (inotify_ >= 0) ::close(inotify_);
}

void EvdevInput::watchDirectory() {
  if (inotify_ < 0 || watch_ >= 0) return;
  // IN_ATTRIB: a new node is often created before its permissions are set.
  watch_ = inotify_add_watch(inotify_, directory_.c_str(), IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_TO);
}

void EvdevInput::closeDevice(Device& device) {
  if (device.fd >= 0) ::close(device.fd);
  device.fd = -1;
}

void EvdevInput::poll() {
  if (inotify_ >= 0 && watch_ >= 0) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      ssize_t n = ::read(inotify_, buffer, sizeof(buffer));
      if (n <= 0) break;
      for (ssize_t offset = 0; offset < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
        if (event->mask & IN_IGNORED) watch_ = -1;  // the directory itself went away
        if (event->len > 0 && std::strncmp(event->name, "event", 5) == 0) rescanNeeded_ = true;
        offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }
  const auto now = std::chrono::steady_clock::now();
  if (watch_ < 0 && now >= nextPeriodicScan_) {
    watchDirectory();
    rescanNeeded_ = true;
  }
  if (rescanNeeded_) rescan();
}

void EvdevInput::rescan() {
  rescanNeeded_ = false;
  nextPeriodicScan_ = std::chrono::steady_clock::now() + kPeriodicScan;

  // Devices that were unplugged answer ENODEV; a node name can come back for
  // a different device, so drop those first.
  for (Device& device : devices_) {
    int version = 0;
    if (ioctl(device.fd, EVIOCGVERSION, &version) < 0) closeDevice(device);
  }
  devices_.erase(std::remove_if(devices_.begin(), devices_.end(), [](const Device& d) { return d.fd < 0; }),
                 devices_.end());

  DIR* dir = opendir(directory_.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, "event", 5) != 0) continue;
    const std::string path = directory_ + "/" + entry->d_name;
    if (std::any_of(devices_.begin(), devices_.end(), [&](const Device& d) { return d.path == path; })) continue;
    // O_NONBLOCK: we never read events, but an open must not wait either.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    Device device;
    device.fd = fd;
    device.path = path;
    device.keys.assign(kKeyWords, 0);
    if (ioctl(fd, EVIOCGBIT(EV_KEY, kKeyWords * sizeof(unsigned long)), device.keys.data()) < 0 ||
        !reportsHotkeyInput(device.keys)) {
      ::close(fd);
      continue;
    }
    devices_.push_back(std::move(device));
  }
  closedir(dir);
}

bool EvdevInput::isDown(uint16_t code) {
  if (code == 0 || code > KEY_MAX) return false;
  bool down = false;
  unsigned long state[kKeyWords];
  for (Device& device : devices_) {
    if (device.fd < 0 || !testBit(device.keys, code)) continue;
    std::memset(state, 0, sizeof(state));
    if (ioctl(device.fd, EVIOCGKEY(sizeof(state)), state) < 0) {
      // Gone: forget it now and look again on the next poll.
      closeDevice(device);
      rescanNeeded_ = true;
      continue;
    }
    const size_t word = code / kBitsPerLong;
    if ((state[word] >> (code % kBitsPerLong)) & 1UL) down = true;
  }
  return down;
}

}  // namespace rivulo
