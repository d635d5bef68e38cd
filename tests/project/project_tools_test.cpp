#include "app/project_tools.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/project/project_test_util.h"

namespace rivulo {
namespace {

using test::readBytes;

// Runs a tool with its output going to a temporary stream; returns exit code and text.
template <typename Tool>
std::pair<int, std::string> capture(Tool tool) {
  std::FILE* stream = std::tmpfile();
  const int code = tool(stream);
  std::string text;
  std::rewind(stream);
  for (int c; (c = std::fgetc(stream)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(stream);
  return {code, text};
}

TEST(ProjectTools, CheckPrintsTheLoadLinesAndTellsByExitCode) {
  test::ScratchFolder folder;
  const std::string good = folder.write("good.lwv", "LINKWEAVE 1\nVIEW 0\nNODE 1 1 a 0 0 1 2 3 4 1\n");
  const std::string bad = folder.write("bad.lwv", "LINKWEAVE 3\nWIRE 1 2 3 9\n");
  EXPECT_EQ(capture([&](std::FILE* s) { return runCheckProject(good, s); }),
            std::make_pair(0, "Loaded project from " + good + "\n"));
  EXPECT_EQ(capture([&](std::FILE* s) { return runCheckProject(bad, s); }),
            std::make_pair(1, std::string("Load failed: invalid wire direction in bad.lwv\n")));
}

TEST(ProjectTools, ConvertWritesVersionThree) {
  test::ScratchFolder folder;
  const std::string in = folder.write("old.lwv", "\xEF\xBB\xBFLINKWEAVE 1\nVIEW 1\nNODE 4 5 \"L 4\" 1.5 2 3 4 5 6 0\n");
  const std::string out = folder.file("new.lwv");
  EXPECT_EQ(capture([&](std::FILE* s) { return runConvertProject(in, out, s); }),
            std::make_pair(0, "Loaded project from " + in + "\nSaved project to " + out + "\n"));
  EXPECT_EQ(readBytes(out), "LINKWEAVE 3\nVIEW 1 1\nNODE 4 5 \"L 4\" 1.5 2 3 4 5 6 5000 250 5 10 0\n");

  // A refused input writes nothing; a refused output is a failure too.
  const std::string missing = folder.file("missing.lwv");
  EXPECT_EQ(capture([&](std::FILE* s) { return runConvertProject(missing, folder.file("x.lwv"), s); }),
            std::make_pair(1, "Load failed: could not open " + missing + "\n"));
  EXPECT_FALSE(std::filesystem::exists(folder.file("x.lwv")));
  const auto [code, text] = capture([&](std::FILE* s) { return runConvertProject(in, folder.path().string(), s); });
  EXPECT_EQ(code, 1);
  EXPECT_NE(text.find("\nSave failed: "), std::string::npos) << text;
}

}  // namespace
}  // namespace rivulo
