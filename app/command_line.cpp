#include "app/command_line.h"

#include <cstdlib>
#include <string_view>

#include "app/hotkey_table.h"

namespace rivulo {

namespace {

bool parseInt(const std::string& text, int& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < -2147483647L || value > 2147483647L) return false;
  out = static_cast<int>(value);
  return true;
}

bool parseSeconds(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(value >= 0.0)) return false;
  out = value;
  return true;
}

}  // namespace

const char* usageText() {
  return "Usage:\n"
         "  rivulo [PROJECT.lwv] [--select ID] [--tab properties|network|projects] [--start]\n"
         "         [--ping-target ADDR] [--open-dialog save|open]\n"
         "         [--hotkey NAME]\n"
         "         [--screenshot FILE.png [--frames N]]\n"
         "  rivulo --check-project FILE\n"
         "  rivulo --convert IN OUT\n"
         "  rivulo --resolve FILE\n"
         "  rivulo --headless FILE [--filter TEXT] [--seconds N]\n"
         "  rivulo --help | --version\n";
}

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine cl;
  auto fail = [&cl](const std::string& message) {
    if (cl.error.empty()) cl.error = message;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&](std::string& out) {
      if (i + 1 >= argc) {
        fail(arg + " needs a value");
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string value;
    if (arg == "--help" || arg == "-h") {
      cl.help = true;
    } else if (arg == "--version") {
      cl.version = true;
    } else if (arg == "--screenshot") {
      next(cl.screenshotPath);
    } else if (arg == "--frames") {
      if (next(value) && (!parseInt(value, cl.frames) || cl.frames < 1)) fail("--frames needs a count of at least 1");
    } else if (arg == "--select") {
      if (next(value) && !parseInt(value, cl.selectNodeId)) fail("--select needs a node id");
    } else if (arg == "--tab") {
      if (next(cl.tab) && cl.tab != "properties" && cl.tab != "network" && cl.tab != "projects") {
        fail("--tab takes properties, network or projects");
      }
    } else if (arg == "--ping-target") {
      if (next(cl.pingTarget) && cl.pingTarget.empty()) fail("--ping-target needs an address or name");
    } else if (arg == "--open-dialog") {
      if (next(cl.openDialog) && cl.openDialog != "save" && cl.openDialog != "open") {
        fail("--open-dialog takes save or open");
      }
    } else if (arg == "--start") {
      cl.startSimulation = true;
    } else if (arg == "--hotkey") {
      if (next(cl.hotkey) && hotkeyRowByName(cl.hotkey) < 0) fail("--hotkey takes a row of the HOTKEY list, e.g. F8");
    } else if (arg == "--check-project") {
      next(cl.checkProject);
    } else if (arg == "--convert") {
      if (next(cl.convertIn)) next(cl.convertOut);
    } else if (arg == "--resolve") {
      next(cl.resolveProject);
    } else if (arg == "--headless") {
      next(cl.headlessProject);
    } else if (arg == "--filter") {
      next(cl.filter);
    } else if (arg == "--seconds") {
      if (next(value) && !parseSeconds(value, cl.seconds)) fail("--seconds needs a number of seconds");
    } else if (!arg.empty() && arg[0] == '-') {
      fail("unknown option " + arg);
    } else if (cl.projectFile.empty()) {
      cl.projectFile = arg;
    } else {
      fail("more than one project file given");
    }
  }
  return cl;
}

}  // namespace rivulo
