// Line graphs of the NETWORK panel and the MODULE ACTIVITY view.
#include <imgui.h>

#include "app/editor.h"
#include "ui/draw_kit.h"

namespace rivulo {

void Editor::sampleActivity() {}

void Editor::drawModuleActivity() {
  panelFrame(rgba(0.55f, 0.36f, 0.98f, 1.0f), rgba(0.96f, 0.18f, 0.72f, 1.0f), darkTheme ? 0.95f : 0.55f);
}

}  // namespace rivulo
