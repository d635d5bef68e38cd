// The PROJECTS tab: the projects folder's files, autoload and rename.
#include <imgui.h>

#include "app/editor.h"

namespace rivulo {

void Editor::drawProjectsPanel() {}

}  // namespace rivulo
