// The projects folder: listing, selection, autoload setting, start-up and rename.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/editor.h"
#include "tests/support/temp_folder.h"

namespace rivulo {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempFolder;
using test::writeFile;

constexpr const char* kEmptyProject = "LINKWEAVE 3\nVIEW 0 1\n";

// The editor of a program installed at <temp>/bin/rivulo: its projects
// folder is <temp>/bin/projects, never the folder of the real binary.
EditorServices servicesIn(const TempFolder& temp, bool openAutoload = false) {
  EditorServices services;
  services.executablePath = (temp / "bin/rivulo").string();
  services.dataProjectsDirectory = (temp / "data/rivulo/projects").string();
  services.openAutoload = openAutoload;
  return services;
}

fs::path projectsIn(const TempFolder& temp) { return temp / "bin/projects"; }

fs::path demoProject() {
  const char* source = std::getenv("RIVULO_SOURCE_DIR");
  fs::path root = source != nullptr ? fs::path(source) : fs::path(__FILE__).parent_path().parent_path().parent_path();
  return root / "projects-seed/demo.lwv";
}

std::string selectedName(const Editor& editor) {
  return editor.selectedProjectIndex < 0 ? std::string() : editor.projectFiles[editor.selectedProjectIndex];
}

TEST(ProjectsFolder, ListsProjectFilesOnlySortedIgnoringCase) {
  TempFolder temp;
  const fs::path folder = projectsIn(temp);
  for (const char* name : {"Beta.lwv", "alpha.LWV", "notes.txt"}) writeFile(folder / name, kEmptyProject);
  fs::create_directories(folder / "old.lwv");

  Editor editor(servicesIn(temp));
  editor.refreshProjectList(true);
  EXPECT_EQ(editor.projectFiles, (std::vector<std::string>{"alpha.LWV", "Beta.lwv"}));
  EXPECT_FALSE(editor.projectsInDataFolder);
  EXPECT_EQ(fs::path(editor.projectsDirectory()), folder);
}

TEST(ProjectsFolder, SelectionFollowsItsNameAcrossARescan) {
  TempFolder temp;
  const fs::path folder = projectsIn(temp);
  writeFile(folder / "b.lwv", kEmptyProject);
  writeFile(folder / "c.lwv", kEmptyProject);
  Editor editor(servicesIn(temp));
  editor.refreshProjectList(true);
  editor.selectedProjectIndex = 1;

  writeFile(folder / "a.lwv", kEmptyProject);
  editor.refreshProjectList(true);
  EXPECT_EQ(editor.projectFiles.size(), 3u);
  EXPECT_EQ(selectedName(editor), "c.lwv");
  EXPECT_EQ(editor.selectedProjectPath(), (folder / "c.lwv").string());

  // Once the selected file is gone, the autoload project is selected instead.
  editor.autoloadProjectName = "a.lwv";
  fs::remove(folder / "c.lwv");
  editor.refreshProjectList(true);
  EXPECT_EQ(selectedName(editor), "a.lwv");
}

TEST(ProjectsFolder, ReadOnlyProgramFolderFallsBackToTheDataFolder) {
  TempFolder temp;
  // A file where the folder would go: the folder can neither be made nor written.
  writeFile(temp / "bin/projects", "");
  Editor editor(servicesIn(temp));
  EXPECT_EQ(fs::path(editor.projectsDirectory()), temp / "data/rivulo/projects");
  EXPECT_TRUE(editor.projectsInDataFolder);
  EXPECT_TRUE(fs::is_directory(temp / "data/rivulo/projects"));
}

TEST(ProjectsFolder, FirstStartAutoloadsTheDemoWhenThereIsOne) {
  TempFolder temp;
  fs::create_directories(projectsIn(temp));
  fs::copy_file(demoProject(), projectsIn(temp) / "demo.lwv");

  Editor editor(servicesIn(temp, true));
  EXPECT_EQ(editor.autoloadProjectName, "demo.lwv");
  EXPECT_EQ(readFile(projectsIn(temp) / "autoload.txt"), "demo.lwv\n");
  EXPECT_EQ(editor.eventLog.back().text, "Autoload project opened: demo.lwv.");
  EXPECT_EQ(selectedName(editor), "demo.lwv");

  // The demo shows an OUT chain through Latency and Jitter and an IN chain with a Drop.
  std::vector<int32_t> types;
  for (const Node& node : editor.nodes) types.push_back(node.type);
  EXPECT_EQ(types, (std::vector<int32_t>{1, 5, 7, 0, 6, 20}));  // PC, Latency, Jitter, Router, Drop, Note
  std::vector<WireDirection> wires;
  for (const Connection& wire : editor.connections) wires.push_back(wire.direction);
  const auto out = WireDirection::Outbound, in = WireDirection::Inbound;
  EXPECT_EQ(wires, (std::vector<WireDirection>{out, out, out, in, in}));
}

TEST(ProjectsFolder, FirstStartWithoutDemoWritesAnEmptySetting) {
  TempFolder temp;
  Editor editor(servicesIn(temp, true));
  EXPECT_EQ(editor.autoloadProjectName, "");
  ASSERT_TRUE(fs::exists(projectsIn(temp) / "autoload.txt"));
  EXPECT_EQ(readFile(projectsIn(temp) / "autoload.txt"), "");
  EXPECT_EQ(editor.eventLog.size(), 9u);
  EXPECT_TRUE(editor.nodes.empty());
}

TEST(ProjectsFolder, AutoloadSettingTakesOnlyABareProjectName) {
  struct Case {
    const char* content;
    const char* name;
  };
  const Case cases[] = {
      {"plan.lwv\n", "plan.lwv"},
      {"PLAN.LWV", "PLAN.LWV"},
      {"plan.lwv \t\r\nsecond line\n", "plan.lwv"},
      {" plan.lwv\n", " plan.lwv"},  // leading blanks are part of the name
      {"sub/plan.lwv\n", ""},
      {"..\\plan.lwv\n", ""},
      {"plan.txt\n", ""},
      {"\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    TempFolder temp;
    writeFile(projectsIn(temp) / "autoload.txt", c.content);
    writeFile(projectsIn(temp) / "demo.lwv", kEmptyProject);
    Editor editor(servicesIn(temp));
    editor.readAutoloadSetting();
    EXPECT_EQ(editor.autoloadProjectName, c.name);
    EXPECT_EQ(readFile(projectsIn(temp) / "autoload.txt"), c.content);  // never rewritten on reading
  }
}

TEST(ProjectsFolder, StartupReportsAMissingOrBrokenAutoloadProject) {
  struct Case {
    const char* setting;
    const char* fileContent;  // nullptr: no such file
    const char* line;
  };
  const Case cases[] = {
      {"gone.lwv\n", nullptr, "Autoload project was not found: gone.lwv."},
      {"broken.lwv\n", "not a project\n", "Autoload project could not be opened: broken.lwv."},
  };
  for (const Case& c : cases) {
    TempFolder temp;
    writeFile(projectsIn(temp) / "autoload.txt", c.setting);
    if (c.fileContent != nullptr) writeFile(projectsIn(temp) / "broken.lwv", c.fileContent);
    Editor editor(servicesIn(temp, true));
    EXPECT_EQ(editor.eventLog.back().text, c.line);
    EXPECT_TRUE(editor.nodes.empty());
  }
}

class ProjectRename : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(folder / "plan.lwv", kEmptyProject);
    writeFile(folder / "other.lwv", kEmptyProject);
    editor.refreshProjectList(true);
    select("plan.lwv");
    editor.eventLog.clear();
  }
  void select(const std::string& name) {
    for (size_t i = 0; i < editor.projectFiles.size(); ++i) {
      if (editor.projectFiles[i] == name) editor.selectedProjectIndex = static_cast<int32_t>(i);
    }
  }

  TempFolder temp;
  fs::path folder = projectsIn(temp);
  Editor editor{servicesIn(temp)};
};

TEST_F(ProjectRename, ChecksTheNameAndRenamesInPlace) {
  struct Case {
    const char* input;
    const char* file;  // the selected project's file afterwards
    const char* line;  // the one line logged, "" for none
  };
  const Case cases[] = {
      {"  my plan \t\r\n", "my plan.lwv", "Renamed project plan.lwv to my plan.lwv."},
      {"plan.old", "plan.old.lwv", "Renamed project plan.lwv to plan.old.lwv."},
      {"Plan.LWV", "Plan.LWV", "Renamed project plan.lwv to Plan.LWV."},
      {"plan", "plan.lwv", ""},
      {" \t ", "plan.lwv", "Rename failed: project name cannot be empty."},
      {"a/b", "plan.lwv", "Rename failed: project name contains an invalid Windows filename character."},
      {"what?", "plan.lwv", "Rename failed: project name contains an invalid Windows filename character."},
      {"other", "plan.lwv", "Rename failed: other.lwv already exists."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    editor.renameSelectedProject(c.input);
    EXPECT_EQ(selectedName(editor), c.file);
    EXPECT_TRUE(fs::is_regular_file(folder / c.file));
    EXPECT_EQ(editor.projectFiles.size(), 2u);
    if (c.line[0] == '\0') {
      EXPECT_TRUE(editor.eventLog.empty());
    } else {
      ASSERT_EQ(editor.eventLog.size(), 1u);
      EXPECT_EQ(editor.eventLog.back().text, c.line);
    }
    // Back to plan.lwv for the next case.
    if (std::string(c.file) != "plan.lwv") fs::rename(folder / c.file, folder / "plan.lwv");
    editor.refreshProjectList(true);
    select("plan.lwv");
    editor.eventLog.clear();
  }
}

TEST_F(ProjectRename, AutoloadAndOpenProjectFollowTheFile) {
  editor.autoloadProjectName = "plan.lwv";
  editor.writeAutoloadSetting();
  std::snprintf(editor.projectPath, sizeof(editor.projectPath), "%s", (folder / "plan.lwv").c_str());

  editor.renameSelectedProject("final");
  EXPECT_EQ(editor.autoloadProjectName, "final.lwv");
  EXPECT_EQ(readFile(folder / "autoload.txt"), "final.lwv\n");
  EXPECT_EQ(fs::path(editor.projectPath), folder / "final.lwv");
  EXPECT_EQ(selectedName(editor), "final.lwv");
}

TEST_F(ProjectRename, AnotherFolderFileOfTheSameNameKeepsItsPath) {
  // Ctrl+S must go on writing to the project that is open, not to the
  // renamed file that merely shares its name.
  const fs::path elsewhere = temp / "elsewhere/plan.lwv";
  writeFile(elsewhere, kEmptyProject);
  std::snprintf(editor.projectPath, sizeof(editor.projectPath), "%s", elsewhere.c_str());
  editor.renameSelectedProject("final");
  EXPECT_EQ(fs::path(editor.projectPath), elsewhere);
  EXPECT_TRUE(fs::is_regular_file(folder / "final.lwv"));
}

}  // namespace
}  // namespace rivulo
