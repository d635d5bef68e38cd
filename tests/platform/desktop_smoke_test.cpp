// The real program under a virtual X server.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"

namespace rivulo {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuote;

const std::string kBinary = RIVULO_BINARY;

// Mesa and D-Bus keep allocations past exit that LeakSanitizer reports from
// unloaded modules; the editor's own code is leak-checked by the headless
// tests, so the windowed program runs without leak detection here.
const std::string kNoLeakCheck = "ASAN_OPTIONS=detect_leaks=0 ";

struct PngSize {
  uint32_t width = 0;
  uint32_t height = 0;
};

PngSize readPngSize(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (!in || header[1] != 'P' || header[2] != 'N' || header[3] != 'G') return {};
  auto be32 = [&](int at) {
    return (uint32_t(header[at]) << 24) | (uint32_t(header[at + 1]) << 16) | (uint32_t(header[at + 2]) << 8) |
           uint32_t(header[at + 3]);
  };
  return {be32(16), be32(20)};
}

TEST(Desktop, ScreenshotUnderXvfb) {
  if (!test::commandExists("xvfb-run")) GTEST_SKIP() << "xvfb-run is not installed";
  test::TempFolder dir;
  const fs::path shot = dir.path() / "shot.png";
  const std::string command = "cd " + shellQuote(dir.path()) + " && " + kNoLeakCheck +
                              "timeout 120 xvfb-run -a -s '-screen 0 1600x900x24' " + shellQuote(kBinary) +
                              " --ping-target 127.0.0.1 --screenshot " + shellQuote(shot) + " --frames 10";
  test::CommandResult result = runCommand(command);
  ASSERT_EQ(result.exitCode, 0) << result.output;
  // 96 % of the 1600 x 900 screen, capped at 1500 wide.
  PngSize size = readPngSize(shot);
  EXPECT_EQ(size.width, 1500u);
  EXPECT_EQ(size.height, 864u);
  // The GUI settings file lands in the working directory.
  EXPECT_TRUE(fs::exists(dir.path() / "linkweave_imgui.ini"));
}

TEST(Desktop, NoDisplayIsOneLineAndExitCodeOne) {
  test::CommandResult result =
      runCommand("env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 " + kNoLeakCheck + shellQuote(kBinary));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.output.rfind("rivulo: ", 0), 0u) << result.output;
  EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
}

TEST(Desktop, HelpVersionAndUnknownFlags) {
  EXPECT_EQ(runCommand(shellQuote(kBinary) + " --help").exitCode, 0);
  test::CommandResult version = runCommand(shellQuote(kBinary) + " --version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, "rivulo 1.0.5\n");
  test::CommandResult unknown = runCommand(shellQuote(kBinary) + " --frobnicate");
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.output.find("unknown option --frobnicate"), std::string::npos);
  EXPECT_NE(unknown.output.find("Usage:"), std::string::npos);
}

}  // namespace
}  // namespace rivulo
