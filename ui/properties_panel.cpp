// The PROPERTIES tab: the selected node's name, flag and parameters.
#include <imgui.h>

#include "app/editor.h"

namespace rivulo {

void Editor::drawPropertiesPanel() {}

}  // namespace rivulo
