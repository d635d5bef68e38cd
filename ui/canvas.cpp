// The canvas: grid, input surface, shortcuts, drop target, badge and toolbar.
#include <imgui.h>

#include "app/editor.h"

namespace rivulo {

void Editor::drawCanvas() {}

}  // namespace rivulo
