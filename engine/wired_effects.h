#pragma once
// The "WIRED EFFECTS" lines: the settings in force, as the NETWORK panel and
// `rivulo --resolve` print them.
#include <array>
#include <string>

#include "engine/effect_config.h"

namespace rivulo {

// In this order: the two inbound lines, the two outbound lines, the throttle
// line and the block line.
std::array<std::string, 6> wiredEffectsLines(const ActiveEffects& effects);

}  // namespace rivulo
