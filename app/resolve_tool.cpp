// `rivulo --resolve FILE`: what a saved design would do to the traffic,
// without a window and without touching the traffic.
#include "app/editor.h"
#include "app/project_tools.h"
#include "engine/wired_effects.h"
#include "graph/chain_resolution.h"

namespace rivulo {

int runResolveProject(const std::string& path, std::FILE* out) {
  EditorServices services;
  services.openAutoload = false;
  Editor editor(std::move(services));
  const size_t logged = editor.eventLog.size();
  if (!editor.loadProject(path)) {
    // The loader says why in the event log; pass its words on.
    for (size_t k = logged; k < editor.eventLog.size(); ++k) std::fprintf(out, "%s\n", editor.eventLog[k].text.c_str());
    if (editor.eventLog.size() <= logged) std::fprintf(out, "Load failed: %s\n", path.c_str());
    return 1;
  }
  const ActiveEffects effects = editor.resolveEffects();
  for (const std::string& line : wiredEffectsLines(effects)) std::fprintf(out, "%s\n", line.c_str());
  std::fprintf(out, "Throttle rate: IN %llu  OUT %llu bytes/s\n",
               static_cast<unsigned long long>(effects.inbound.throttleBytesPerSecond),
               static_cast<unsigned long long>(effects.outbound.throttleBytesPerSecond));
  std::fprintf(out, "Ping timeout: %u ms\n", static_cast<unsigned>(pingTimeoutFor(effects)));
  return 0;
}

}  // namespace rivulo
