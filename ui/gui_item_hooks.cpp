#include "ui/gui_item_hooks.h"

namespace rivulo {

void attachGuiItemRecorder(GuiItemRecorder* recorder) {
  ImGuiContext& g = *ImGui::GetCurrentContext();
  g.TestEngine = recorder;
  g.TestEngineHookItems = recorder != nullptr;
}

}  // namespace rivulo

void ImGuiTestEngineHook_ItemAdd(ImGuiContext* ctx, ImGuiID id, const ImRect& bb, const ImGuiLastItemData*) {
  if (ctx->TestEngine != nullptr) static_cast<rivulo::GuiItemRecorder*>(ctx->TestEngine)->itemAdded(id, bb);
}

void ImGuiTestEngineHook_ItemInfo(ImGuiContext* ctx, ImGuiID id, const char* label, ImGuiItemStatusFlags flags) {
  if (ctx->TestEngine != nullptr) static_cast<rivulo::GuiItemRecorder*>(ctx->TestEngine)->itemInfo(id, label, flags);
}

void ImGuiTestEngineHook_Log(ImGuiContext*, const char*, ...) {}

const char* ImGuiTestEngine_FindItemDebugLabel(ImGuiContext*, ImGuiID) { return nullptr; }
