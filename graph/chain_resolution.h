#pragma once
// Folding the graph's wired chains into the engine's effect settings.
#include <cstdint>
#include <vector>

#include "engine/effect_config.h"
#include "graph/node.h"

namespace rivulo {

// The settings of one direction: the largest complete chain of that colour
// (at least two devices and one enabled effect; the earliest such group on a
// tie) folded into one record. A pure function of the two lists.
EffectConfig resolveChains(const std::vector<Node>& nodes, const std::vector<Connection>& connections,
                           WireDirection direction);

// The ping timeout that lets echoes through the delays in force: the summed
// latency, jitter, hold and burst of both directions plus 2500 ms, at most
// 30000 ms.
uint32_t pingTimeoutFor(const ActiveEffects& effects);

}  // namespace rivulo
