#include "graph/text_measure.h"

#include <imgui.h>

namespace rivulo {

float measureTextWidth(std::string_view text) {
  if (text.empty()) return 0.0f;
  ImGuiContext* context = ImGui::GetCurrentContext();
  if (context == nullptr || ImGui::GetFont() == nullptr) {
    return 7.0f * static_cast<float>(text.size());
  }
  return ImGui::CalcTextSize(text.data(), text.data() + text.size()).x;
}

}  // namespace rivulo
