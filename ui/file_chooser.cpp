// The project file chooser: a modal GUI window over the frame.
#include "ui/file_chooser.h"

#include <imgui.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/editor.h"
#include "ui/draw_kit.h"

namespace rivulo {

namespace fs = std::filesystem;

const char* const kChooserFilterNames[2] = {"Linkweave Projects (*.lwv)", "All Files (*.*)"};

namespace {

constexpr const char* kDefaultProjectPath = "projects/last_project.lwv";
constexpr const char* kChooserId = "###ProjectFileChooser";
constexpr const char* kConfirmTitle = "Confirm Save As";
// A longer path than the editor's project path holds would be cut there, and
// later saves would go to a different file.
constexpr size_t kLongestPath = kProjectPathSize - 1;

void setName(FileChooserState& chooser, const std::string& text) {
  std::strncpy(chooser.fileName, text.c_str(), sizeof(chooser.fileName) - 1);
  chooser.fileName[sizeof(chooser.fileName) - 1] = '\0';
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::string chooserInitialFolder(const std::string& basePath) {
  try {
    fs::path folder = fs::path(basePath).parent_path();
    if (folder.empty()) folder = "projects";
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    return error ? folder.string() : absolute.lexically_normal().string();
  } catch (...) {
    return "projects";
  }
}

void beginFileChooser(FileChooserState& chooser, const std::string& currentPath, bool forSave,
                      const std::string& projectsFolder) {
  const std::string base = currentPath.empty() ? std::string(kDefaultProjectPath) : currentPath;
  chooser = FileChooserState{};
  chooser.active = true;
  chooser.popupRequested = true;
  chooser.forSave = forSave;
  chooser.focusName = true;
  chooser.projectsFolder = projectsFolder;
  if (forSave) {
    try {
      setName(chooser, fs::path(base).filename().string());
    } catch (...) {
    }
  }
  showChooserFolder(chooser, chooserInitialFolder(base));
}

void showChooserFolder(FileChooserState& chooser, const std::string& folder) {
  fs::path shown = folder;
  try {
    // A folder that is not there (the default "projects" before anything
    // was saved) opens at the nearest one that is.
    std::error_code error;
    while (!shown.empty() && !fs::is_directory(shown, error) && shown.has_relative_path()) {
      shown = shown.parent_path();
    }
    if (shown.empty() || !fs::is_directory(shown, error)) shown = fs::current_path();
    if (shown.has_relative_path() && !shown.has_filename()) shown = shown.parent_path();  // drop a trailing '/'
  } catch (...) {
  }
  chooser.folder = shown.string();
  chooser.selectedEntry = -1;
  listChooserFolder(chooser);
}

void listChooserFolder(FileChooserState& chooser) {
  chooser.entries.clear();
  chooser.selectedEntry = -1;
  try {
    std::error_code error;
    fs::directory_iterator entry(chooser.folder, error);
    if (error) chooser.message = "This folder cannot be read.";
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
      const std::string name = entry->path().filename().string();
      if (name.empty() || name[0] == '.') continue;  // hidden, as in every Linux file chooser
      std::error_code typeError;
      if (entry->is_directory(typeError)) {
        chooser.entries.push_back({name, true});
      } else if (entry->is_regular_file(typeError)) {
        const bool project = toLowerAscii(entry->path().extension().string()) == ".lwv";
        if (project || chooser.filterIndex == 1) chooser.entries.push_back({name, false});
      }
    }
  } catch (...) {
  }
  std::sort(chooser.entries.begin(), chooser.entries.end(), [](const FileChooserEntry& a, const FileChooserEntry& b) {
    if (a.folder != b.folder) return a.folder;
    const std::string la = toLowerAscii(a.name), lb = toLowerAscii(b.name);
    return la != lb ? la < lb : a.name < b.name;
  });
}

ChooserDecision decideChooserChoice(const std::string& folder, const std::string& typed, bool forSave) {
  ChooserDecision decision;
  const std::string text = trimmed(typed);
  if (text.empty()) return decision;
  try {
    fs::path path = text;
    if (path.is_relative()) path = fs::path(folder) / path;
    path = path.lexically_normal();
    // "name/" (or "..", which normalises to "parent/") can only be a folder.
    const bool namesFolder = !path.has_filename();
    if (namesFolder && path.has_relative_path()) path = path.parent_path();
    std::error_code error;
    if (fs::is_directory(path, error)) {
      decision.action = ChooserAction::ShowFolder;
      decision.path = path.string();
      return decision;
    }
    if (namesFolder) {
      decision.message = "The folder " + path.string() + " does not exist.";
      return decision;
    }
    const fs::path parent = path.parent_path();
    if (!fs::is_directory(parent, error)) {
      decision.message = "The folder " + parent.string() + " does not exist.";
      return decision;
    }
    // A name typed without an extension is a project.
    fs::path withExtension = path;
    if (!path.has_extension()) withExtension += ".lwv";

    if (forSave) {
      path = withExtension;
      if (fs::is_directory(path, error)) {
        decision.message = path.filename().string() + " is a folder.";
        return decision;
      }
      if (path.string().size() > kLongestPath) {
        decision.message = "The path is too long (at most " + std::to_string(kLongestPath) + " characters).";
        return decision;
      }
      decision.action = fs::exists(fs::symlink_status(path, error)) ? ChooserAction::ConfirmOverwrite
                                                                    : ChooserAction::Accept;
      decision.path = path.string();
      return decision;
    }

    if (!fs::is_regular_file(path, error)) path = withExtension;
    if (!fs::is_regular_file(path, error)) {
      decision.message = fs::path(text).filename().string() + " was not found. Check the file name and try again.";
      return decision;
    }
    if (path.string().size() > kLongestPath) {
      decision.message = "The path is too long (at most " + std::to_string(kLongestPath) + " characters).";
      return decision;
    }
    decision.action = ChooserAction::Accept;
    decision.path = path.string();
  } catch (const std::exception& failure) {
    decision = ChooserDecision{};
    decision.message = failure.what();
  }
  return decision;
}

bool drawFileChooser(FileChooserState& chooser, std::string& chosen) {
  chosen.clear();
  if (!chooser.active) return false;

  if (chooser.popupRequested) {
    ImGui::OpenPopup(kChooserId);
    chooser.popupRequested = false;
  }
  const std::string title = std::string(chooser.forSave ? "Save Project As" : "Open Project") + kChooserId;
  ImGuiViewport* viewport = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  ImGui::SetNextWindowSize(ImVec2(640, 470), ImGuiCond_Appearing);
  bool keepOpen = true;
  if (!ImGui::BeginPopupModal(title.c_str(), &keepOpen, ImGuiWindowFlags_NoSavedSettings)) {
    chooser.active = false;  // closed by its title bar's button or from elsewhere
    return false;
  }

  enum class Outcome { Open, Cancel, Chosen } outcome = Outcome::Open;
  auto apply = [&](const ChooserDecision& decision) {
    chooser.message = decision.message;
    switch (decision.action) {
      case ChooserAction::None: break;
      case ChooserAction::ShowFolder:
        chooser.message.clear();
        showChooserFolder(chooser, decision.path);
        // The name field keeps a proposed file name; a typed folder is consumed.
        if (decideChooserChoice(chooser.folder, chooser.fileName, chooser.forSave).action == ChooserAction::ShowFolder) {
          setName(chooser, "");
        }
        break;
      case ChooserAction::ConfirmOverwrite:
        chooser.pendingOverwrite = decision.path;
        ImGui::OpenPopup(kConfirmTitle);
        break;
      case ChooserAction::Accept:
        chosen = decision.path;
        outcome = Outcome::Chosen;
        break;
    }
  };

  // Folder row: up one level, and the folder as an editable path.
  const fs::path shown = chooser.folder;
  const bool atTop = !shown.has_relative_path();
  ImGui::BeginDisabled(atTop);
  if (ImGui::Button("Up", ImVec2(48, 0))) {
    chooser.message.clear();
    showChooserFolder(chooser, shown.parent_path().string());
  }
  ImGui::EndDisabled();
  if (!chooser.projectsFolder.empty()) {
    ImGui::SameLine();
    if (ImGui::Button("Projects")) {
      chooser.message.clear();
      showChooserFolder(chooser, chooser.projectsFolder);
    }
  }
  ImGui::SameLine();
  char folderBuffer[1024] = {};
  std::strncpy(folderBuffer, chooser.folder.c_str(), sizeof(folderBuffer) - 1);
  ImGui::SetNextItemWidth(-1);
  if (ImGui::InputText("##ChooserFolder", folderBuffer, sizeof(folderBuffer), ImGuiInputTextFlags_EnterReturnsTrue)) {
    ChooserDecision decision = decideChooserChoice(chooser.folder, folderBuffer, chooser.forSave);
    if (decision.action == ChooserAction::ShowFolder) {
      apply(decision);
    } else {
      chooser.message = "The folder " + std::string(folderBuffer) + " does not exist.";
    }
  }

  // The folder's contents.
  const float below = ImGui::GetFrameHeightWithSpacing() * 3.0f + 44.0f;
  const float listHeight = std::max(80.0f, ImGui::GetContentRegionAvail().y - below);
  ImGui::BeginChild("##ChooserList", ImVec2(0, listHeight), ImGuiChildFlags_Borders);
  int enterFolder = -1;
  int acceptFile = -1;
  if (chooser.entries.empty()) ImGui::TextDisabled("This folder holds no matching files.");
  const ImVec4 folderColour = unpackColor(rgba(0.35f, 0.80f, 1.0f, 1.0f));
  for (int i = 0; i < static_cast<int>(chooser.entries.size()); ++i) {
    const FileChooserEntry& entry = chooser.entries[i];
    ImGui::PushID(i);
    const std::string label = entry.folder ? entry.name + "/" : entry.name;
    if (entry.folder) ImGui::PushStyleColor(ImGuiCol_Text, folderColour);
    const bool clicked =
        ImGui::Selectable(label.c_str(), chooser.selectedEntry == i, ImGuiSelectableFlags_AllowDoubleClick);
    if (entry.folder) ImGui::PopStyleColor();
    if (clicked) {
      chooser.selectedEntry = i;
      const bool twice = ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left);
      if (entry.folder) {
        if (twice) enterFolder = i;
      } else {
        setName(chooser, entry.name);
        if (twice) acceptFile = i;
      }
    }
    ImGui::PopID();
  }
  ImGui::EndChild();
  if (enterFolder >= 0) {
    apply({ChooserAction::ShowFolder, (fs::path(chooser.folder) / chooser.entries[enterFolder].name).string(), {}});
  }

  // Name, filter, message and the two buttons.
  const float fieldX = ImGui::CalcTextSize("Files of type:").x + ImGui::GetStyle().ItemSpacing.x * 2.0f;
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted("File name:");
  ImGui::SameLine(fieldX);
  ImGui::SetNextItemWidth(-1);
  if (chooser.focusName) {
    ImGui::SetKeyboardFocusHere();
    chooser.focusName = false;
  }
  bool confirm = ImGui::InputText("##ChooserFileName", chooser.fileName, sizeof(chooser.fileName),
                                  ImGuiInputTextFlags_EnterReturnsTrue);
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted("Files of type:");
  ImGui::SameLine(fieldX);
  ImGui::SetNextItemWidth(-1);
  if (ImGui::Combo("##ChooserFilter", &chooser.filterIndex, kChooserFilterNames, 2)) listChooserFolder(chooser);

  if (!chooser.message.empty()) {
    ImGui::PushStyleColor(ImGuiCol_Text, unpackColor(rgba(1.0f, 0.55f, 0.35f, 1.0f)));
    ImGui::TextWrapped("%s", chooser.message.c_str());
    ImGui::PopStyleColor();
  } else {
    ImGui::Dummy(ImVec2(0, ImGui::GetTextLineHeight()));
  }
  ImGui::Spacing();
  const float buttonsWidth = 90.0f * 2 + ImGui::GetStyle().ItemSpacing.x;
  ImGui::SetCursorPosX(ImGui::GetCursorPosX() + std::max(0.0f, ImGui::GetContentRegionAvail().x - buttonsWidth));
  confirm = ImGui::Button(chooser.forSave ? "Save" : "Open", ImVec2(90, 28)) || confirm;
  ImGui::SameLine();
  const bool cancel = ImGui::Button("Cancel", ImVec2(90, 28));

  if (acceptFile >= 0) confirm = true;
  if (confirm && outcome == Outcome::Open) apply(decideChooserChoice(chooser.folder, chooser.fileName, chooser.forSave));

  // Replacing an existing file is confirmed first.
  ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  if (ImGui::BeginPopupModal(kConfirmTitle, nullptr, ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings)) {
    ImGui::Text("%s already exists.", fs::path(chooser.pendingOverwrite).filename().string().c_str());
    ImGui::TextUnformatted("Do you want to replace it?");
    ImGui::Spacing();
    const bool yes = ImGui::Button("Yes", ImVec2(90, 28));
    ImGui::SameLine();
    const bool no = ImGui::Button("No", ImVec2(90, 28)) || ImGui::IsKeyPressed(ImGuiKey_Escape, false);
    if (yes) {
      chosen = chooser.pendingOverwrite;
      outcome = Outcome::Chosen;
    }
    if (yes || no) {
      chooser.pendingOverwrite.clear();
      ImGui::CloseCurrentPopup();
    }
    ImGui::EndPopup();
  } else if (outcome == Outcome::Open && (cancel || !keepOpen || ImGui::IsKeyPressed(ImGuiKey_Escape, false))) {
    outcome = Outcome::Cancel;
  }

  if (outcome != Outcome::Open) {
    ImGui::CloseCurrentPopup();
    chooser.active = false;
  }
  ImGui::EndPopup();
  return outcome == Outcome::Chosen;
}

}  // namespace rivulo
