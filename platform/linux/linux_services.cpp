#include "platform/linux/linux_services.h"

#include "platform/linux/nfqueue_driver.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/linux/icmp_probe.h"
#include "platform/linux/linux_hotkeys.h"

namespace rivulo {

std::string executablePath() {
  std::error_code error;
  std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

namespace {

std::string dataProjectsDirectory() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/rivulo/projects";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.local/share/rivulo/projects";
  return {};
}

}  // namespace

EditorServices makeLinuxServices(WindowActions* window) {
  EditorServices services;
  services.window = window;
  services.packetDrivers = makeNfqueueDriverFactory();
  services.monitorProbes = [] { return makeLinuxMonitorProbe(); };
  services.executablePath = executablePath();
  services.dataProjectsDirectory = dataProjectsDirectory();
  services.openAutoload = true;
  services.ownedHotkeys = makeLinuxHotkeySource();
  services.hotkeys = services.ownedHotkeys.get();
  return services;
}

}  // namespace rivulo
