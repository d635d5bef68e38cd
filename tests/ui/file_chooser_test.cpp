// The Save As / Open chooser: its decisions, and the modal through the real frame.
#include "ui/file_chooser.h"

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

constexpr const char* kProject = "LINKWEAVE 3\nVIEW 0 1\n";

TEST(FileChooser, DecidesWhatTheTypedNameMeans) {
  TempFolder temp;
  const fs::path folder = temp / "work";
  writeFile(folder / "old.lwv", kProject);
  writeFile(folder / "notes.txt", "x");
  fs::create_directories(folder / "sub");
  struct Case {
    bool forSave;
    std::string typed;
    ChooserAction action;
    fs::path path;  // empty: none
  };
  const Case cases[] = {
      {true, "plan", ChooserAction::Accept, folder / "plan.lwv"},
      {true, " plan.lwv ", ChooserAction::Accept, folder / "plan.lwv"},
      {true, "plan.old", ChooserAction::Accept, folder / "plan.old"},
      {true, "old", ChooserAction::ConfirmOverwrite, folder / "old.lwv"},
      {true, "sub", ChooserAction::ShowFolder, folder / "sub"},
      {true, "..", ChooserAction::ShowFolder, temp.path()},
      {true, "../up", ChooserAction::Accept, temp / "up.lwv"},
      {true, (folder / "sub/deep").string(), ChooserAction::Accept, folder / "sub/deep.lwv"},
      {true, "missing/plan", ChooserAction::None, {}},
      {true, "", ChooserAction::None, {}},
      {true, std::string(4100, 'x'), ChooserAction::None, {}},  // longer than a project path may be
      {false, "old", ChooserAction::Accept, folder / "old.lwv"},
      {false, "notes.txt", ChooserAction::Accept, folder / "notes.txt"},
      {false, "nothing", ChooserAction::None, {}},
      {false, "nothing.lwv", ChooserAction::None, {}},
      {false, "sub", ChooserAction::ShowFolder, folder / "sub"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.forSave ? "save " : "open ") + c.typed);
    const ChooserDecision decision = decideChooserChoice(folder.string(), c.typed, c.forSave);
    EXPECT_EQ(decision.action, c.action);
    EXPECT_EQ(fs::path(decision.path), c.path);
    if (c.action == ChooserAction::None && !c.typed.empty()) {
      EXPECT_FALSE(decision.message.empty());
    }
  }
}

TEST(FileChooser, StartsInTheCurrentProjectsFolderMadeAbsolute) {
  const fs::path cwd = fs::current_path();
  EXPECT_EQ(fs::path(chooserInitialFolder("projects/last_project.lwv")), cwd / "projects");
  EXPECT_EQ(fs::path(chooserInitialFolder("plan.lwv")), cwd / "projects");
  EXPECT_EQ(fs::path(chooserInitialFolder("/srv/designs/plan.lwv")), fs::path("/srv/designs"));

  FileChooserState chooser;
  beginFileChooser(chooser, "", true);
  EXPECT_STREQ(chooser.fileName, "last_project.lwv");
  beginFileChooser(chooser, "/srv/designs/plan.lwv", false);
  EXPECT_STREQ(chooser.fileName, "");
}

TEST(FileChooser, FilterListsProjectsOrEverything) {
  TempFolder temp;
  writeFile(temp / "b.LWV", kProject);
  writeFile(temp / "a.txt", "x");
  writeFile(temp / ".hidden.lwv", kProject);
  fs::create_directories(temp / "zeta");
  FileChooserState chooser;
  chooser.folder = temp.path().string();
  listChooserFolder(chooser);
  ASSERT_EQ(chooser.entries.size(), 2u);
  EXPECT_EQ(chooser.entries[0].name, "zeta");  // folders first
  EXPECT_EQ(chooser.entries[1].name, "b.LWV");
  chooser.filterIndex = 1;
  listChooserFolder(chooser);
  EXPECT_EQ(chooser.entries.size(), 3u);
}

// The chooser opened from an editor whose open project is <temp>/work/current.lwv.
class ChooserDialog : public ::testing::Test {
 protected:
  ChooserDialog() {
    writeFile(work / "current.lwv", kProject);
    writeFile(work / "old.lwv", "LINKWEAVE 3\nVIEW 1 1\n");
    fs::create_directories(work / "sub");
    EditorServices services;
    services.executablePath = (temp / "bin/rivulo").string();
    ui = std::make_unique<test::UiHarness>(ImVec2(1600, 900), services);
    std::snprintf(editor().projectPath, sizeof(editor().projectPath), "%s", (work / "current.lwv").c_str());
    ui->frame(2);
    lines = editor().eventLog.size();
  }
  Editor& editor() { return ui->editor(); }
  void open(bool forSave) {
    editor().openProjectDialog(forSave);
    ui->frame(3);
  }
  // Types into the name field, replacing what it holds, and presses Save / Open.
  void enterName(const std::string& name) {
    ui->click(ui->itemCenter("##ChooserFileName"));
    ui->tapKey(ImGuiKey_A, ImGuiKey_LeftCtrl);
    ui->typeText(name);
    ui->click(ui->itemCenter(editor().fileChooser.forSave ? "Save" : "Open"));
  }

  TempFolder temp;
  fs::path work = temp / "work";
  std::unique_ptr<test::UiHarness> ui;
  size_t lines = 0;
};

TEST_F(ChooserDialog, SaveAsProposesTheNameAndAddsTheExtension) {
  open(true);
  EXPECT_TRUE(ui->hasItem("##ChooserFileName"));
  EXPECT_STREQ(editor().fileChooser.fileName, "current.lwv");
  EXPECT_EQ(fs::path(editor().fileChooser.folder), work);

  // The proposed name is selected: typing replaces it.
  ui->typeText("plan");
  ui->tapKey(ImGuiKey_Enter);
  EXPECT_FALSE(editor().fileChooser.active);
  EXPECT_EQ(fs::path(editor().projectPath), work / "plan.lwv");
  ASSERT_GT(editor().eventLog.size(), lines);
  EXPECT_NE(ui->lastLog().find((work / "plan.lwv").string()), std::string::npos);
}

TEST_F(ChooserDialog, SaveAsAsksBeforeReplacingAFile) {
  open(true);
  enterName("old");
  ui->frame();
  EXPECT_EQ(fs::path(editor().fileChooser.pendingOverwrite), work / "old.lwv");
  EXPECT_TRUE(ui->hasItem("Yes"));
  EXPECT_EQ(editor().eventLog.size(), lines);

  ui->click(ui->itemCenter("No"));
  EXPECT_TRUE(editor().fileChooser.active);
  EXPECT_EQ(readFile(work / "old.lwv"), "LINKWEAVE 3\nVIEW 1 1\n");
  EXPECT_EQ(editor().eventLog.size(), lines);

  enterName("old");
  ui->frame();
  ui->click(ui->itemCenter("Yes"));
  EXPECT_FALSE(editor().fileChooser.active);
  EXPECT_EQ(fs::path(editor().projectPath), work / "old.lwv");
  EXPECT_NE(ui->lastLog().find((work / "old.lwv").string()), std::string::npos);
}

TEST_F(ChooserDialog, OpenRefusesAMissingFileAndCancelChangesNothing) {
  open(false);
  EXPECT_STREQ(editor().fileChooser.fileName, "");
  enterName("nothing");
  EXPECT_TRUE(editor().fileChooser.active);
  EXPECT_FALSE(editor().fileChooser.message.empty());

  ui->click(ui->itemCenter("Cancel"));
  EXPECT_FALSE(editor().fileChooser.active);
  EXPECT_EQ(editor().eventLog.size(), lines);
  EXPECT_EQ(fs::path(editor().projectPath), work / "current.lwv");
}

TEST_F(ChooserDialog, FolderNavigationLeavesTheWorkingDirectory) {
  const fs::path cwd = fs::current_path();
  open(false);
  ui->doubleClick(ui->itemCenter("sub/"));
  EXPECT_EQ(fs::path(editor().fileChooser.folder), work / "sub");
  ui->click(ui->itemCenter("Up"));
  ui->click(ui->itemCenter("Up"));
  EXPECT_EQ(fs::path(editor().fileChooser.folder), temp.path());
  ui->click(ui->itemCenter("Projects"));
  EXPECT_EQ(editor().fileChooser.folder, editor().projectsDirectory());
  ui->click(ui->itemCenter("##ChooserFolder"));
  ui->tapKey(ImGuiKey_A, ImGuiKey_LeftCtrl);
  ui->typeText(temp.path().string());
  ui->tapKey(ImGuiKey_Enter);
  EXPECT_EQ(fs::path(editor().fileChooser.folder), temp.path());
  enterName("work/old");  // a typed path, extension added
  EXPECT_FALSE(editor().fileChooser.active);
  EXPECT_NE(ui->lastLog().find((work / "old.lwv").string()), std::string::npos);
  EXPECT_EQ(fs::current_path(), cwd);
}

}  // namespace
}  // namespace rivulo
