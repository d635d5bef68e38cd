#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace rivulo {
namespace {

CommandLine parse(std::vector<const char*> args) {
  args.insert(args.begin(), "rivulo");
  return parseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, ScreenshotAndEditorFlags) {
  CommandLine cl = parse({"demo.lwv", "--screenshot", "shot.png", "--frames", "12", "--select", "3", "--tab",
                          "network", "--start"});
  EXPECT_TRUE(cl.error.empty()) << cl.error;
  EXPECT_EQ(cl.projectFile, "demo.lwv");
  EXPECT_EQ(cl.screenshotPath, "shot.png");
  EXPECT_EQ(cl.frames, 12);
  EXPECT_EQ(cl.selectNodeId, 3);
  EXPECT_EQ(cl.tab, "network");
  EXPECT_TRUE(cl.startSimulation);
}

TEST(CommandLine, ToolsAndHeadless) {
  CommandLine cl = parse({"--convert", "in.lwv", "out.lwv"});
  EXPECT_EQ(cl.convertIn, "in.lwv");
  EXPECT_EQ(cl.convertOut, "out.lwv");
  cl = parse({"--headless", "p.lwv", "--filter", "tcp and tcp.DstPort == 80", "--seconds", "2.5"});
  EXPECT_TRUE(cl.error.empty()) << cl.error;
  EXPECT_EQ(cl.filter, "tcp and tcp.DstPort == 80");
  EXPECT_DOUBLE_EQ(cl.seconds, 2.5);
}

TEST(CommandLine, BadArgumentsAreRefused) {
  const std::vector<std::vector<const char*>> bad = {
      {"--bogus"},          {"--frames", "0"},   {"--frames", "x"}, {"--screenshot"},
      {"--tab", "editor"},  {"--seconds", "-1"}, {"a.lwv", "b.lwv"}, {"--convert", "only-one"},
  };
  for (const auto& args : bad) {
    EXPECT_FALSE(parse(args).error.empty()) << args.front();
  }
  EXPECT_TRUE(parse({"--help"}).help);
  EXPECT_TRUE(parse({"--version"}).version);
}

}  // namespace
}  // namespace rivulo
