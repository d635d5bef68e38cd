// rivulo: the visual network editor, its project tools and its headless runner.
#include <cstdio>

#include "app/command_line.h"
#include "app/editor.h"
#include "app/hotkey_table.h"
#include "app/project_tools.h"
#include "platform/linux/desktop.h"
#include "platform/linux/headless_run.h"

int main(int argc, char** argv) {
  const rivulo::CommandLine cl = rivulo::parseCommandLine(argc, argv);
  if (!cl.error.empty()) {
    std::fprintf(stderr, "rivulo: %s\n%s", cl.error.c_str(), rivulo::usageText());
    return 2;
  }
  if (cl.help) {
    std::fputs(rivulo::usageText(), stdout);
    return 0;
  }
  if (cl.version) {
    std::printf("rivulo %s\n", RIVULO_VERSION);
    return 0;
  }
  if (!cl.checkProject.empty()) return rivulo::runCheckProject(cl.checkProject, stdout);
  if (!cl.convertIn.empty()) return rivulo::runConvertProject(cl.convertIn, cl.convertOut, stdout);
  if (!cl.resolveProject.empty()) return rivulo::runResolveProject(cl.resolveProject, stdout);
  if (!cl.headlessProject.empty()) return rivulo::runHeadless(cl);
  return rivulo::runDesktop(cl, [&cl](rivulo::Editor& editor) {
    if (!cl.projectFile.empty()) editor.loadProject(cl.projectFile);
    if (cl.selectNodeId >= 0) editor.selectedNodeId = cl.selectNodeId;
    if (cl.tab == "properties") editor.requestedTab = 0;
    if (cl.tab == "network") editor.requestedTab = 1;
    if (cl.tab == "projects") editor.requestedTab = 2;
    if (!cl.hotkey.empty()) editor.chooseHotkey(rivulo::hotkeyRowByName(cl.hotkey));
    if (cl.startSimulation) editor.startSimulation();
    if (!cl.openDialog.empty()) editor.openProjectDialog(cl.openDialog == "save");
  });
}
