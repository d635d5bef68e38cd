#pragma once
// The Save As / Open chooser for project files, drawn with the GUI library
// as a modal window. The choice is made over several frames, so the chooser
// is a record the editor keeps; the decisions behind its buttons are plain
// functions that need no GUI.
#include <string>
#include <vector>

#include "project/project_path.h"

namespace rivulo {

struct FileChooserEntry {
  std::string name;
  bool folder = false;
};

struct FileChooserState {
  bool active = false;          // shown, or about to be
  bool popupRequested = false;  // the modal opens on the next draw
  bool forSave = false;
  std::string folder;           // the folder shown, absolute
  char fileName[kProjectPathSize] = {};  // the name field: a name or a typed path
  int filterIndex = 0;          // 0 projects (*.lwv), 1 all files
  std::vector<FileChooserEntry> entries;  // folders first, then files
  int selectedEntry = -1;
  std::string message;          // why the last choice was refused
  std::string pendingOverwrite; // chosen path waiting for "replace?"
  bool focusName = false;       // put the keyboard into the name field
  std::string projectsFolder;   // target of the "Projects" button, empty for none
};

// The two filter entries, in their order.
extern const char* const kChooserFilterNames[2];

// The folder a chooser for `basePath` starts in: its parent folder, or
// "projects" when it has none, made absolute.
std::string chooserInitialFolder(const std::string& basePath);

// Prepares the chooser for `currentPath` (the open project's path, or empty);
// `projectsFolder`, when given, is one click away.
void beginFileChooser(FileChooserState& chooser, const std::string& currentPath, bool forSave,
                      const std::string& projectsFolder = {});

// Shows `folder` (the nearest existing one above it when it is missing).
void showChooserFolder(FileChooserState& chooser, const std::string& folder);

// Reads the shown folder's folders and the files the filter lets through.
void listChooserFolder(FileChooserState& chooser);

enum class ChooserAction { None, ShowFolder, ConfirmOverwrite, Accept };

struct ChooserDecision {
  ChooserAction action = ChooserAction::None;
  std::string path;     // the folder to show or the file chosen
  std::string message;  // with None: why nothing happens
};

// What Save / Open does with the text typed into the name field, seen from
// `folder`: enter a folder, ask before replacing a file, refuse, or accept.
ChooserDecision decideChooserChoice(const std::string& folder, const std::string& typed, bool forSave);

// Draws the open chooser. Returns true on the frame it closes with a file,
// which is then in `chosen`; a cancel closes it and returns false.
bool drawFileChooser(FileChooserState& chooser, std::string& chosen);

}  // namespace rivulo
