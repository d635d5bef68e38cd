#include "app/editor.h"

#include <imgui.h>

#include <cstdio>
#include <cstring>

#include "ui/draw_kit.h"

namespace rivulo {

double guiTime() {
  ImGuiContext* context = ImGui::GetCurrentContext();
  return context != nullptr ? ImGui::GetTime() : 0.0;
}

Editor::Editor(EditorServices editorServices)
    : services(std::move(editorServices)), engine(services.packetDrivers) {
  std::strncpy(projectPath, "projects/last_project.lwv", sizeof(projectPath) - 1);

  if (!services.pingTarget.empty()) {
    pingTarget = services.pingTarget;
    std::snprintf(targetInput, sizeof(targetInput), "%s", services.pingTarget.c_str());
  }

  darkTheme = true;
  applyStyle();

  addLog("interface ready.");
  addLog("Live network monitor started. Default ping target: 8.8.8.8.");
  addLog("v1.0.5: editor loaded: auto-sizing nodes, toolbox search and diagnostics.");
  addLog("Flow controls ready: Hold Gate, Burst, Duplicate and Nth Drop.");
  addLog("nodes: Access Point, Laptop, Phone, Cloud, Block, Ping Probe, Packet Meter and Note.");
  addLog("Shortcuts: Ctrl+S save, Ctrl+D duplicate selected node, Ctrl+z and Ctrl+R Undo and Redo.");
  addLog("Start/Stop hotkey selector ready: keyboard, mouse and Xbox/XInput inputs.");
  addLog("Global hotkeys remain active while Rivulo is minimized or in the background.");
  addLog("v1.0.5 loaded Modules");

  if (services.openAutoload) openAutoloadProject();
  startMonitorThread();
}

Editor::~Editor() {
  engine.stop();
  stopMonitorThread();
}

void Editor::applyStyle() {
  if (ImGui::GetCurrentContext() == nullptr) return;
  applyThemeStyle(ImGui::GetStyle(), darkTheme);
}

void Editor::startMonitorThread() {
  if (!services.monitorProbes) return;  // no probe on this system: no worker
  monitorStopRequested = false;
  monitorThread = std::thread([this] { monitorWorker(); });
}

void Editor::stopMonitorThread() {
  monitorStopRequested = true;
  if (monitorThread.joinable()) monitorThread.join();
}

}  // namespace rivulo
