#include "app/event_log.h"

#include <imgui.h>

#include <cstdio>

#include "app/editor.h"
#include "ui/draw_kit.h"

namespace rivulo {

std::string formatLogLine(const LogEntry& entry) {
  int needed = std::snprintf(nullptr, 0, "[%07.2f] %s", entry.time, entry.text.c_str());
  std::string line(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
  std::snprintf(line.data(), line.size() + 1, "[%07.2f] %s", entry.time, entry.text.c_str());
  return line;
}

void Editor::addLog(const std::string& text) {
  eventLog.push_back(LogEntry{guiTime(), text});
  if (eventLog.size() > kEventLogMaxLines) {
    eventLog.erase(eventLog.begin(), eventLog.begin() + kEventLogTrimLines);
  }
}

void Editor::drawEventLog() {
  panelFrame(rgba(0.05f, 0.83f, 0.98f, 1.0f), rgba(0.55f, 0.36f, 0.98f, 1.0f), darkTheme ? 0.85f : 0.5f);
  ImGui::TextUnformatted("EVENT LOG");
  ImGui::SameLine();
  if (ImGui::SmallButton("Clear")) eventLog.clear();
  ImGui::Separator();
  ImGui::BeginChild("##LogScroll", ImVec2(0, 0), ImGuiChildFlags_None, ImGuiWindowFlags_HorizontalScrollbar);
  for (const LogEntry& entry : eventLog) {
    ImGui::Text("[%07.2f] %s", entry.time, entry.text.c_str());
  }
  // Follow new lines only while the view is at the bottom.
  if (ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - 4.0f) ImGui::SetScrollHereY(1.0f);
  ImGui::EndChild();
}

}  // namespace rivulo
