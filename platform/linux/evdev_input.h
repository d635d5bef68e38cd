#pragma once
// Key and button state of every keyboard and mouse under /dev/input, read
// with EVIOCGKEY so that it is true whichever window has the focus, under X11
// and Wayland alike. Needs read access to the event devices (root, or the
// "input" group).
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace rivulo {

class EvdevInput {
 public:
  explicit EvdevInput(std::string directory = "/dev/input");
  ~EvdevInput();
  EvdevInput(const EvdevInput&) = delete;
  EvdevInput& operator=(const EvdevInput&) = delete;

  // Notices devices coming and going. Cheap; never blocks.
  void poll();

  // True when some open device has `code` (KEY_* or BTN_*) down now.
  bool isDown(uint16_t code);

  // Number of open keyboards and mice.
  size_t deviceCount() const { return devices_.size(); }

 private:
  struct Device {
    int fd = -1;
    std::string path;
    std::vector<unsigned long> keys;  // EVIOCGBIT(EV_KEY) capability bits
  };

  void rescan();
  void watchDirectory();
  void closeDevice(Device& device);

  std::string directory_;
  std::vector<Device> devices_;
  int inotify_ = -1;
  int watch_ = -1;
  bool rescanNeeded_ = true;
  std::chrono::steady_clock::time_point nextPeriodicScan_{};
};

}  // namespace rivulo
