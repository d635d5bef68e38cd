#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/project_tools.h"

namespace rivulo {
namespace {

std::string runResolve(const std::string& path, int& code) {
  std::FILE* out = std::tmpfile();
  code = runResolveProject(path, out);
  std::rewind(out);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, out) != nullptr) text += buffer;
  std::fclose(out);
  return text;
}

class ResolveTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("rivulo-resolve-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(ResolveTool, PrintsWhatTheSavedDesignDoesToTraffic) {
  // A PC wired by OUT wires through a 150 ms Latency node to a Router, plus an
  // IN chain with a Throttle of 100 KB/s.
  const std::string path = (dir_ / "design.lwv").string();
  std::ofstream(path) << "LINKWEAVE 3\n"
                         "VIEW 1 1\n"
                         "NODE 1 1 \"PC 1\" 40 60 120 0 10 1000 5000 250 5 10 1\n"
                         "NODE 2 5 \"Latency 2\" 220 60 150 0 10 1000 5000 250 5 10 1\n"
                         "NODE 3 0 \"Router 3\" 400 60 120 0 10 1000 5000 250 5 10 1\n"
                         "NODE 4 8 \"Throttle 4\" 220 200 120 0 10 100 5000 250 5 10 1\n"
                         "WIRE 1 1 2 0\n"
                         "WIRE 2 2 3 0\n"
                         "WIRE 3 3 4 1\n"
                         "WIRE 4 4 1 1\n";
  int code = -1;
  EXPECT_EQ(runResolve(path, code),
            "IN   latency 0ms  hold 0ms  burst 0ms\n"
            "     jitter 0ms  drop 0.0%  dup 0.0%  everyN 0\n"
            "OUT  latency 150ms  hold 0ms  burst 0ms\n"
            "     jitter 0ms  drop 0.0%  dup 0.0%  everyN 0\n"
            "Throttle: IN ON  OUT OFF\n"
            "Block:    IN OFF  OUT OFF\n"
            "Throttle rate: IN 102400  OUT 0 bytes/s\n"
            "Ping timeout: 2650 ms\n");
  EXPECT_EQ(code, 0);
}

TEST_F(ResolveTool, ALoadFailurePrintsItsLogLineAndFails) {
  const std::string missing = (dir_ / "missing.lwv").string();
  int code = -1;
  const std::string text = runResolve(missing, code);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(text.rfind("Load failed: ", 0), 0u) << text;
  EXPECT_NE(text.find("missing.lwv"), std::string::npos) << text;
  EXPECT_EQ(text.find("latency"), std::string::npos) << "nothing resolved from a file that did not load";
}

}  // namespace
}  // namespace rivulo
