// Wires between the cards and the packet-flow dots on them (drawn empty for now).
#include <imgui.h>

#include "app/editor.h"

namespace rivulo {

void Editor::drawWires(ImDrawList*) {}

void Editor::drawWireFlow(ImDrawList*) {}

}  // namespace rivulo
