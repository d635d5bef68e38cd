#include <gtest/gtest.h>

#include <filesystem>

#include "app/editor.h"
#include "tests/support/temp_folder.h"

namespace rivulo {
namespace {

// A project deep in a folder tree keeps its whole path: Ctrl+S after a load
// or a save writes the same file, not one at a cut-short path.
TEST(ProjectPath, LongPathsAreKeptWhole) {
  test::TempFolder folder;
  std::filesystem::path deep = folder.path();
  for (int i = 0; i < 12; ++i) deep /= std::string(30, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  const std::string path = (deep / "plan.lwv").string();
  ASSERT_GT(path.size(), 400u);

  Editor editor;
  editor.addNode(NodeType::Router, 10, 10);
  editor.saveProject(path);
  EXPECT_EQ(std::string(editor.projectPath), path);
  editor.clearCanvas();
  ASSERT_TRUE(editor.loadProject(path));
  EXPECT_EQ(std::string(editor.projectPath), path);
  EXPECT_EQ(editor.nodes.size(), 1u);
}

}  // namespace
}  // namespace rivulo
