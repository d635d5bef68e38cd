// A first start of a freshly built program: the build seeds the demo into the
// projects folder next to the binary, and the program opens it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/run_command.h"
#include "tests/support/temp_folder.h"

namespace rivulo {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuote;

using test::readFile;

class InstallFolder : public test::TempFolder {
 public:
  // The build's seeding step, run against this folder.
  int seed() const {
    const fs::path source = RIVULO_SOURCE_DIR;
    return runCommand("cmake -DSEED=" + shellQuote((source / "projects-seed/demo.lwv").string()) +
                      " -DDEST=" + shellQuote((path() / "projects").string()) + " -P " +
                      shellQuote((source / "cmake/seed_demo.cmake").string()))
        .exitCode;
  }
};

TEST(FirstStart, SeedsOnlyAFolderWithoutProjects) {
  if (!test::commandExists("cmake")) GTEST_SKIP() << "cmake is not installed";
  InstallFolder fresh;
  ASSERT_EQ(fresh.seed(), 0);
  EXPECT_TRUE(fs::is_regular_file(fresh.path() / "projects/demo.lwv"));

  InstallFolder used;
  fs::create_directories(used.path() / "projects");
  std::ofstream(used.path() / "projects/mine.LWV") << "LINKWEAVE 3\n";
  ASSERT_EQ(used.seed(), 0);
  EXPECT_FALSE(fs::exists(used.path() / "projects/demo.lwv"));
}

TEST(FirstStart, ACopiedProgramOpensTheDemoFromItsOwnFolder) {
  if (!test::commandExists("xvfb-run") || !test::commandExists("cmake")) GTEST_SKIP() << "needs xvfb-run and cmake";
  InstallFolder install;
  fs::copy_file(RIVULO_BINARY, install.path() / "rivulo");
  ASSERT_EQ(install.seed(), 0);

  // Started from another folder: the projects folder follows the binary.
  fs::create_directories(install.path() / "elsewhere");
  const std::string command = "cd " + shellQuote((install.path() / "elsewhere").string()) + " && ASAN_OPTIONS=detect_leaks=0 timeout 120 xvfb-run -a -s '-screen 0 1600x900x24' " +
                              shellQuote((install.path() / "rivulo").string()) + " --ping-target 127.0.0.1 --tab projects --screenshot " +
                              shellQuote((install.path() / "shot.png").string()) + " --frames 5";
  test::CommandResult result = runCommand(command);
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(readFile(install.path() / "projects/autoload.txt"), "demo.lwv\n");
  EXPECT_TRUE(fs::exists(install.path() / "shot.png"));
  EXPECT_FALSE(fs::exists(install.path() / "elsewhere/projects"));
}

}  // namespace
}  // namespace rivulo
