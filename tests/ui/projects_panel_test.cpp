// The PROJECTS tab, driven through the real frame.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/editor.h"
#include "tests/support/temp_folder.h"
#include "tests/support/ui_harness.h"

namespace rivulo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempFolder;
using test::writeFile;

constexpr const char* kProject = "LINKWEAVE 3\nVIEW 0 1\nNODE 1 1 \"PC 1\" 40 60 120 0 10 1000 5000 250 5 10 1\n";

// A started program at <temp>/bin/rivulo whose projects folder holds
// a.lwv and plan.lwv, with plan.lwv the autoload project.
class ProjectsPanel : public ::testing::Test {
 protected:
  ProjectsPanel() {
    writeFile(folder / "a.lwv", kProject);
    writeFile(folder / "plan.lwv", kProject);
    writeFile(folder / "autoload.txt", "plan.lwv\n");
    EditorServices services;
    services.executablePath = (temp / "bin/rivulo").string();
    services.openAutoload = true;
    ui = std::make_unique<test::UiHarness>(ImVec2(1600, 900), services);
    editor().requestedTab = 2;
    ui->frame(3);
  }
  Editor& editor() { return ui->editor(); }
  std::string selectedName() {
    return editor().selectedProjectIndex < 0 ? std::string() : editor().projectFiles[editor().selectedProjectIndex];
  }

  TempFolder temp;
  fs::path folder = temp / "bin/projects";
  std::unique_ptr<test::UiHarness> ui;
};

TEST_F(ProjectsPanel, DoubleClickLoadsTheRow) {
  ASSERT_EQ(selectedName(), "plan.lwv");
  ui->doubleClick(ui->itemCenter("a.lwv"));
  EXPECT_EQ(selectedName(), "a.lwv");
  EXPECT_EQ(ui->lastLog(), "Loaded project from " + (folder / "a.lwv").string());
  EXPECT_EQ(fs::path(editor().projectPath), folder / "a.lwv");
}

TEST_F(ProjectsPanel, CheckboxMovesTheAutoloadMark) {
  EXPECT_TRUE(ui->hasItem("plan.lwv   [AUTOLOAD]"));
  ui->click(ui->itemCenter("a.lwv"));
  ui->click(ui->itemCenter("Autoload this project"));
  EXPECT_EQ(editor().autoloadProjectName, "a.lwv");
  EXPECT_EQ(ui->lastLog(), "Autoload project set to a.lwv.");
  EXPECT_EQ(readFile(folder / "autoload.txt"), "a.lwv\n");
  ui->frame();
  EXPECT_TRUE(ui->hasItem("a.lwv   [AUTOLOAD]"));
  EXPECT_TRUE(ui->hasItem("plan.lwv"));

  ui->click(ui->itemCenter("Autoload this project"));
  EXPECT_EQ(editor().autoloadProjectName, "");
  EXPECT_EQ(ui->lastLog(), "Project autoload disabled.");
  EXPECT_EQ(readFile(folder / "autoload.txt"), "");
}

TEST_F(ProjectsPanel, EnterInTheRenamePopupRenames) {
  ui->click(ui->itemCenter("Rename"));
  EXPECT_STREQ(editor().renameBuffer, "plan");
  ui->tapKey(ImGuiKey_End);
  ui->typeText(" two");
  ui->tapKey(ImGuiKey_Enter);
  EXPECT_EQ(ui->lastLog(), "Renamed project plan.lwv to plan two.lwv.");
  EXPECT_TRUE(fs::is_regular_file(folder / "plan two.lwv"));
  EXPECT_EQ(editor().autoloadProjectName, "plan two.lwv");
  EXPECT_FALSE(ui->hasItem("##RenameProjectInput"));
}

TEST_F(ProjectsPanel, WithoutASelectionTheButtonsDoNothing) {
  editor().selectedProjectIndex = -1;
  ui->frame();
  const size_t lines = editor().eventLog.size();
  const std::string before = readFile(folder / "plan.lwv");
  for (const char* label : {"Save", "Load", "Rename", "Autoload this project"}) ui->click(ui->itemCenter(label));
  EXPECT_EQ(editor().eventLog.size(), lines);
  EXPECT_EQ(readFile(folder / "plan.lwv"), before);
  EXPECT_EQ(editor().autoloadProjectName, "plan.lwv");
  EXPECT_FALSE(ui->hasItem("##RenameProjectInput"));
}

TEST_F(ProjectsPanel, ListFollowsTheFolderWithinThreeQuartersOfASecond) {
  editor().refreshProjectList(true);
  writeFile(folder / "new.lwv", kProject);
  ui->frame(30);  // half a second
  EXPECT_FALSE(ui->hasItem("new.lwv"));
  ui->frame(30);
  EXPECT_TRUE(ui->hasItem("new.lwv"));
}

}  // namespace
}  // namespace rivulo
