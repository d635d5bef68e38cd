#pragma once
// The GUI library reports every item it lays out (its id, rectangle and
// label) to whatever recorder is attached to the context. The headless test
// harness attaches one to find widgets by label; the program attaches none.
#include <imgui.h>
#include <imgui_internal.h>

namespace rivulo {

class GuiItemRecorder {
 public:
  virtual ~GuiItemRecorder() = default;
  virtual void itemAdded(ImGuiID id, const ImRect& rect) = 0;
  virtual void itemInfo(ImGuiID id, const char* label, ImGuiItemStatusFlags flags) = 0;
};

// Attaches (or, with nullptr, detaches) a recorder to the current context.
void attachGuiItemRecorder(GuiItemRecorder* recorder);

}  // namespace rivulo
