// The node library: searchable tiles dragged onto the canvas.
#include <imgui.h>

#include "app/editor.h"
#include "ui/draw_kit.h"

namespace rivulo {

void Editor::drawNodeLibrary() {
  panelFrame(rgba(0.05f, 0.83f, 0.98f, 1.0f), rgba(0.96f, 0.18f, 0.72f, 1.0f), darkTheme ? 0.95f : 0.55f);
}

}  // namespace rivulo
