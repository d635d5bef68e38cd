// The glyph inside a card's icon disc (the disc stays empty for now).
#include <imgui.h>

#include "app/editor.h"

namespace rivulo {

void Editor::drawNodeIcon(ImDrawList*, const Node&, const ImVec2&) const {}

}  // namespace rivulo
