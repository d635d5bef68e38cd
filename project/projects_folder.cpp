// The projects folder next to the program, its list, autoload and rename.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "app/editor.h"

namespace rivulo {

namespace fs = std::filesystem;

namespace {

constexpr double kProjectScanInterval = 0.75;
constexpr const char* kAutoloadFile = "autoload.txt";
constexpr const char* kFirstRunProject = "demo.lwv";
// Refused in project names so that a projects folder can be copied to any
// system and every file in it still opens there.
constexpr const char* kForbiddenNameChars = "<>:\"/\\|?*";

bool hasProjectExtension(const fs::path& path) { return toLowerAscii(path.extension().string()) == ".lwv"; }

// True when a file can be created in `folder`; probed with a scratch file
// because permission bits alone do not say what this process may do.
bool folderIsWritable(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) return false;
  const fs::path probe = folder / ".rivulo-write-check";
  bool writable = false;
  {
    std::ofstream out(probe, std::ios::binary | std::ios::trunc);
    writable = static_cast<bool>(out);
  }
  fs::remove(probe, error);
  return writable;
}

std::string fileNameOf(const std::string& path) {
  try {
    return fs::path(path).filename().string();
  } catch (...) {
    return {};
  }
}

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

void copyIntoBuffer(char* buffer, size_t size, const std::string& text) {
  std::strncpy(buffer, text.c_str(), size - 1);
  buffer[size - 1] = '\0';
}

}  // namespace

std::string Editor::projectsDirectory() const {
  try {
    if (projectsFolderCache.empty()) {
      fs::path base;
      if (!services.executablePath.empty()) base = fs::path(services.executablePath).parent_path();
      if (base.empty()) base = fs::current_path();
      fs::path folder = base / "projects";
      std::error_code error;
      fs::create_directories(folder, error);
      projectsInDataFolder = false;
      // An installed program's folder is read-only: keep projects where the
      // user's data lives instead.
      if (!folderIsWritable(folder) && !services.dataProjectsDirectory.empty()) {
        const fs::path data = services.dataProjectsDirectory;
        fs::create_directories(data, error);
        if (folderIsWritable(data)) {
          folder = data;
          projectsInDataFolder = true;
        }
      }
      projectsFolderCache = folder.string();
    }
    // Created again if it vanished while the program runs.
    std::error_code error;
    fs::create_directories(projectsFolderCache, error);
    return projectsFolderCache;
  } catch (...) {
    return "projects";
  }
}

std::string Editor::selectedProjectPath() const {
  if (selectedProjectIndex < 0 || selectedProjectIndex >= static_cast<int32_t>(projectFiles.size())) return {};
  return (fs::path(projectsDirectory()) / projectFiles[selectedProjectIndex]).string();
}

void Editor::refreshProjectList(bool force) {
  const double now = guiTime();
  if (!force && now - lastProjectScanTime < kProjectScanInterval) return;
  lastProjectScanTime = now;

  std::string keep;
  if (selectedProjectIndex >= 0 && selectedProjectIndex < static_cast<int32_t>(projectFiles.size())) {
    keep = projectFiles[selectedProjectIndex];
  } else if (projectPath[0] != '\0') {
    keep = fileNameOf(projectPath);
  }
  if (keep.empty()) keep = autoloadProjectName;

  projectFiles.clear();
  selectedProjectIndex = -1;
  try {
    std::error_code error;
    fs::directory_iterator entry(projectsDirectory(), error);
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
      std::error_code typeError;
      if (!entry->is_regular_file(typeError) || !hasProjectExtension(entry->path())) continue;
      projectFiles.push_back(entry->path().filename().string());
    }
  } catch (...) {
    // Keep what was gathered.
  }

  // Names that differ only in case both exist on Linux; the exact name
  // breaks the tie so that the order never depends on the directory's.
  std::sort(projectFiles.begin(), projectFiles.end(), [](const std::string& a, const std::string& b) {
    const std::string la = toLowerAscii(a), lb = toLowerAscii(b);
    return la != lb ? la < lb : a < b;
  });

  auto indexOf = [this](const std::string& name) {
    auto found = std::find(projectFiles.begin(), projectFiles.end(), name);
    return found == projectFiles.end() ? -1 : static_cast<int32_t>(found - projectFiles.begin());
  };
  selectedProjectIndex = indexOf(keep);
  if (selectedProjectIndex < 0 && !projectFiles.empty()) selectedProjectIndex = indexOf(autoloadProjectName);
}

void Editor::readAutoloadSetting() {
  autoloadProjectName.clear();
  try {
    const fs::path folder = projectsDirectory();
    const fs::path setting = folder / kAutoloadFile;
    std::error_code error;
    const bool present = fs::exists(setting, error);
    if (error) return;
    if (present) {
      std::ifstream in(setting, std::ios::binary);
      std::string line;
      std::getline(in, line);
      const size_t end = line.find_last_not_of(" \t\r\n");
      line = end == std::string::npos ? std::string() : line.substr(0, end + 1);
      // Only a bare project name: the setting never points outside the folder.
      const bool bare = line.find_first_of("/\\") == std::string::npos;
      if (!line.empty() && bare && hasProjectExtension(line)) autoloadProjectName = line;
    } else {
      if (fs::is_regular_file(folder / kFirstRunProject, error)) autoloadProjectName = kFirstRunProject;
      writeAutoloadSetting();
    }
  } catch (...) {
    autoloadProjectName.clear();
  }
}

void Editor::writeAutoloadSetting() {
  try {
    std::ofstream out(fs::path(projectsDirectory()) / kAutoloadFile, std::ios::binary | std::ios::trunc);
    if (out && !autoloadProjectName.empty()) out << autoloadProjectName << '\n';
  } catch (...) {
    // The choice stays in memory; the next change tries again.
  }
}

void Editor::openAutoloadProject() {
  refreshProjectList(true);
  readAutoloadSetting();
  if (!autoloadProjectName.empty()) {
    const std::string name = autoloadProjectName;
    const fs::path startupPath = fs::path(projectsDirectory()) / name;
    std::error_code error;
    if (fs::exists(startupPath, error)) {
      const std::string startupString = startupPath.string();
      if (loadProject(startupString)) {
        addLog("Autoload project opened: " + name + ".");
      } else {
        addLog("Autoload project could not be opened: " + name + ".");
      }
    } else {
      addLog("Autoload project was not found: " + name + ".");
    }
  }
  refreshProjectList(true);
}

void Editor::renameSelectedProject(const std::string& newName) {
  if (selectedProjectIndex < 0 || selectedProjectIndex >= static_cast<int32_t>(projectFiles.size())) return;

  const std::string name = trimmed(newName);
  if (name.empty()) {
    addLog("Rename failed: project name cannot be empty.");
    return;
  }
  if (name.find_first_of(kForbiddenNameChars) != std::string::npos) {
    addLog("Rename failed: project name contains an invalid Windows filename character.");
    return;
  }
  const std::string target = hasProjectExtension(name) ? name : name + ".lwv";

  try {
    const std::string oldName = projectFiles[selectedProjectIndex];
    const fs::path folder = projectsDirectory();
    const fs::path oldPath = folder / oldName;
    const fs::path newPath = folder / target;
    if (oldPath == newPath) return;

    std::error_code error;
    if (fs::exists(fs::symlink_status(newPath, error))) {
      addLog("Rename failed: " + target + " already exists.");
      return;
    }

    // Ctrl+S must keep writing to this project, not to another folder's file
    // of the same name: follow only when projectPath is this very file.
    const bool openProjectMoves = fileNameOf(projectPath) == oldName && fs::equivalent(projectPath, oldPath, error);

    fs::rename(oldPath, newPath);

    if (openProjectMoves) copyIntoBuffer(projectPath, sizeof(projectPath), newPath.string());
    if (autoloadProjectName == oldName) {
      autoloadProjectName = target;
      writeAutoloadSetting();
    }
    addLog("Renamed project " + oldName + " to " + target + ".");

    refreshProjectList(true);
    auto found = std::find(projectFiles.begin(), projectFiles.end(), target);
    if (found != projectFiles.end()) selectedProjectIndex = static_cast<int32_t>(found - projectFiles.begin());
  } catch (const std::exception& failure) {
    addLog(std::string("Rename failed: ") + failure.what());
  }
}

}  // namespace rivulo
