// The NETWORK tab: ping, driver state and counters, interface counters.
#include <imgui.h>

#include "app/editor.h"

namespace rivulo {

void Editor::drawNetworkPanel() {}

}  // namespace rivulo
