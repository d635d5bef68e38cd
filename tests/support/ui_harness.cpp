#include "tests/support/ui_harness.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>

namespace rivulo::test {

UiHarness::UiHarness(ImVec2 displaySize, EditorServices services) {
  context_ = ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;
  io.DisplaySize = displaySize;
  io.DeltaTime = 1.0f / 60.0f;
  io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
  // No renderer: the harness owns the texture list and never uploads it.
  io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures;
  io.Fonts->AddFontDefault();
  attachGuiItemRecorder(&recorder_);
  editor_ = std::make_unique<Editor>(std::move(services));
}

UiHarness::~UiHarness() {
  ImGui::SetCurrentContext(context_);
  // The editor outlives the GUI context, as in the program.
  ImGui::DestroyContext(context_);
  editor_.reset();
}

void UiHarness::frame(int count, float dt) {
  ImGui::SetCurrentContext(context_);
  for (int i = 0; i < count; ++i) {
    ImGui::GetIO().DeltaTime = dt;
    ImGui::NewFrame();
    if (beforeDraw) beforeDraw();
    editor_->drawFrame();
    if (afterDraw) afterDraw();
    ImGui::Render();
    recorder_.endFrame();
    // Textures the renderer would create are marked as done.
    for (ImTextureData* tex : ImGui::GetPlatformIO().Textures) {
      if (tex->Status == ImTextureStatus_WantCreate || tex->Status == ImTextureStatus_WantUpdates) {
        tex->SetTexID(static_cast<ImTextureID>(1));
        tex->SetStatus(ImTextureStatus_OK);
      } else if (tex->Status == ImTextureStatus_WantDestroy) {
        tex->SetTexID(ImTextureID_Invalid);
        tex->SetStatus(ImTextureStatus_Destroyed);
      }
    }
  }
}

void UiHarness::setDisplaySize(ImVec2 size) { ImGui::GetIO().DisplaySize = size; }

void UiHarness::moveMouse(ImVec2 pos) {
  ImGui::GetIO().AddMousePosEvent(pos.x, pos.y);
  frame();
}

void UiHarness::pressMouse(int button) {
  ImGui::GetIO().AddMouseButtonEvent(button, true);
  frame();
}

void UiHarness::releaseMouse(int button) {
  ImGui::GetIO().AddMouseButtonEvent(button, false);
  frame();
}

void UiHarness::click(ImVec2 pos, int button) {
  moveMouse(pos);
  pressMouse(button);
  releaseMouse(button);
}

void UiHarness::doubleClick(ImVec2 pos) {
  moveMouse(pos);
  pressMouse(0);
  releaseMouse(0);
  pressMouse(0);
  releaseMouse(0);
}

void UiHarness::drag(ImVec2 from, ImVec2 to, int steps) {
  moveMouse(from);
  pressMouse(0);
  for (int i = 1; i <= steps; ++i) {
    float t = static_cast<float>(i) / static_cast<float>(steps);
    moveMouse(ImVec2(from.x + (to.x - from.x) * t, from.y + (to.y - from.y) * t));
  }
  releaseMouse(0);
}

void UiHarness::key(ImGuiKey key, bool down) {
  ImGui::GetIO().AddKeyEvent(key, down);
  frame();
}

void UiHarness::tapKey(ImGuiKey k, ImGuiKey modifier, ImGuiKey modifier2) {
  ImGuiIO& io = ImGui::GetIO();
  auto modKey = [](ImGuiKey m) {
    switch (m) {
      case ImGuiKey_LeftCtrl: case ImGuiKey_RightCtrl: return ImGuiMod_Ctrl;
      case ImGuiKey_LeftShift: case ImGuiKey_RightShift: return ImGuiMod_Shift;
      case ImGuiKey_LeftAlt: case ImGuiKey_RightAlt: return ImGuiMod_Alt;
      default: return ImGuiKey_None;
    }
  };
  for (ImGuiKey m : {modifier, modifier2}) {
    if (m == ImGuiKey_None) continue;
    io.AddKeyEvent(m, true);
    if (modKey(m) != ImGuiKey_None) io.AddKeyEvent(modKey(m), true);
  }
  frame();
  key(k, true);
  key(k, false);
  for (ImGuiKey m : {modifier, modifier2}) {
    if (m == ImGuiKey_None) continue;
    io.AddKeyEvent(m, false);
    if (modKey(m) != ImGuiKey_None) io.AddKeyEvent(modKey(m), false);
  }
  frame();
}

void UiHarness::typeText(const std::string& text) {
  for (char c : text) {
    ImGui::GetIO().AddInputCharacter(static_cast<unsigned char>(c));
    frame();
  }
}

bool UiHarness::itemRect(const std::string& label, ImVec2& min, ImVec2& max) const {
  auto named = recorder_.labels.find(label);
  if (named == recorder_.labels.end()) return false;
  auto rect = recorder_.rects.find(named->second);
  if (rect == recorder_.rects.end()) return false;
  min = rect->second.Min;
  max = rect->second.Max;
  return true;
}

bool UiHarness::hasItem(const std::string& label) const {
  ImVec2 min, max;
  return itemRect(label, min, max);
}

ImVec2 UiHarness::itemCenter(const std::string& label) const {
  ImVec2 min, max;
  if (!itemRect(label, min, max)) {
    ADD_FAILURE() << "no item labelled \"" << label << "\" in the last frame";
    return ImVec2(-1000, -1000);
  }
  return ImVec2((min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f);
}

int UiHarness::logCount(const std::string& text) const {
  int count = 0;
  for (const LogEntry& entry : editor_->eventLog) count += entry.text == text ? 1 : 0;
  return count;
}

bool UiHarness::logContains(const std::string& fragment) const {
  for (const LogEntry& entry : editor_->eventLog) {
    if (entry.text.find(fragment) != std::string::npos) return true;
  }
  return false;
}

std::string UiHarness::lastLog() const { return editor_->eventLog.empty() ? std::string() : editor_->eventLog.back().text; }

}  // namespace rivulo::test
