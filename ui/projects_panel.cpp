// The PROJECTS tab: the projects folder's files, autoload and rename; and the
// Save As / Open chooser of the top bar.
#include <imgui.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/editor.h"
#include "ui/file_chooser.h"

namespace rivulo {

namespace {

void copyIntoBuffer(char* buffer, size_t size, const std::string& text) {
  std::strncpy(buffer, text.c_str(), size - 1);
  buffer[size - 1] = '\0';
}

}  // namespace

void Editor::drawProjectsPanel() {
  refreshProjectList(false);

  ImGui::TextUnformatted("PROJECTS");
  ImGui::SameLine();
  if (ImGui::SmallButton("Refresh")) refreshProjectList(true);

  ImGui::Separator();
  const std::string folder = projectsDirectory();
  ImGui::TextDisabled("%s", projectsInDataFolder ? "Projects folder" : "Folder next to rivulo");
  ImGui::TextWrapped("%s", folder.c_str());
  ImGui::Spacing();

  // The list leaves room for the buttons below it.
  const float listHeight = std::max(90.0f, ImGui::GetContentRegionAvail().y - 106.0f);
  std::string pathToLoad;
  ImGui::BeginChild("##ProjectList", ImVec2(0, listHeight), ImGuiChildFlags_Borders);
  if (projectFiles.empty()) {
    ImGui::TextDisabled("No .lwv projects found.");
    ImGui::TextWrapped("Save a project into the projects folder and it will appear here automatically.");
  } else {
    for (int i = 0; i < static_cast<int>(projectFiles.size()); ++i) {
      const std::string& name = projectFiles[i];
      const bool autoload = name == autoloadProjectName;
      const std::string label = autoload ? name + "   [AUTOLOAD]" : name;
      ImGui::PushID(i);
      if (ImGui::Selectable(label.c_str(), i == selectedProjectIndex, ImGuiSelectableFlags_AllowDoubleClick)) {
        selectedProjectIndex = i;
        if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) pathToLoad = selectedProjectPath();
      }
      if (ImGui::IsItemHovered()) {
        ImGui::SetTooltip("%s%s", name.c_str(), autoload ? "\nLoads automatically on startup" : "");
      }
      ImGui::PopID();
    }
  }
  ImGui::EndChild();
  // Loading rescans the list, so it waits until the rows are drawn.
  if (!pathToLoad.empty()) loadProject(pathToLoad);

  ImGui::Spacing();
  const bool selected = selectedProjectIndex >= 0 && selectedProjectIndex < static_cast<int>(projectFiles.size());
  ImGui::BeginDisabled(!selected);
  if (ImGui::Button("Save", ImVec2(70, 28))) {
    const std::string path = selectedProjectPath();
    if (!path.empty()) {
      copyIntoBuffer(projectPath, sizeof(projectPath), path);
      saveProject(path);
      refreshProjectList(true);
    }
  }
  ImGui::SameLine(0, 5);
  if (ImGui::Button("Load", ImVec2(70, 28))) {
    const std::string path = selectedProjectPath();
    if (!path.empty()) {
      loadProject(path);
      refreshProjectList(true);
    }
  }
  ImGui::SameLine(0, 5);
  if (ImGui::Button("Rename", ImVec2(78, 28)) && selected) {
    copyIntoBuffer(renameBuffer, sizeof(renameBuffer),
                   std::filesystem::path(projectFiles[selectedProjectIndex]).stem().string());
    ImGui::OpenPopup("Rename Project");
  }
  bool autoloadTicked = selected && projectFiles[selectedProjectIndex] == autoloadProjectName;
  if (ImGui::Checkbox("Autoload this project", &autoloadTicked) && selected) {
    const std::string name = projectFiles[selectedProjectIndex];
    if (autoloadTicked) {
      autoloadProjectName = name;
      addLog("Autoload project set to " + name + ".");
    } else if (name == autoloadProjectName) {
      autoloadProjectName.clear();
      addLog("Project autoload disabled.");
    }
    writeAutoloadSetting();
    refreshProjectList(true);
  }
  ImGui::EndDisabled();

  if (ImGui::BeginPopupModal("Rename Project", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
    ImGui::TextUnformatted("Project name");
    ImGui::SetNextItemWidth(280);
    if (ImGui::IsWindowAppearing()) ImGui::SetKeyboardFocusHere();
    const bool entered = ImGui::InputText("##RenameProjectInput", renameBuffer, sizeof(renameBuffer),
                                          ImGuiInputTextFlags_EnterReturnsTrue);
    ImGui::Spacing();
    const bool rename = ImGui::Button("Rename", ImVec2(90, 28));
    ImGui::SameLine();
    const bool cancel = ImGui::Button("Cancel", ImVec2(90, 28));
    if (rename || entered) {
      renameSelectedProject(renameBuffer);
      ImGui::CloseCurrentPopup();
    } else if (cancel) {
      ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
  }

  ImGui::TextDisabled("Double-click a project to load it.");
}

void Editor::openProjectDialog(bool forSave) {
  beginFileChooser(fileChooser, projectPath, forSave, projectsDirectory());
}

void Editor::drawProjectFileDialog() {
  std::string chosen;
  if (!drawFileChooser(fileChooser, chosen) || chosen.empty()) return;
  if (fileChooser.forSave) {
    copyIntoBuffer(projectPath, sizeof(projectPath), chosen);
    saveProject(chosen);
  } else {
    loadProject(chosen);
  }
}

}  // namespace rivulo
