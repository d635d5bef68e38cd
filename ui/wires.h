#pragma once
// Geometry of one drawn wire: a cubic curve from the border of the card the
// wire starts at to the border of the card it ends at.
#include <imgui.h>

#include <cstdint>
#include <vector>

#include "graph/node.h"

namespace rivulo {

struct WireCurve {
  ImVec2 a, c1, c2, b;
  float distance = 0.0f;  // between the two card centres
};

struct ArrowHead {
  ImVec2 tip, left, right;
};

// The arrowhead at the destination end of a wire.
ArrowHead arrowHeadAt(const WireCurve& curve);

// Lane order among the wires joining the same two nodes (lowId the smaller
// node id): wires leaving the lower id first, then inbound before outbound,
// then by id.
bool laneOrderBefore(const Connection& a, const Connection& b, int32_t lowId);

// The lane offset of every wire, in the order given: the same numbers as
// laneInfo, found for all wires at once by grouping them by their node pair.
std::vector<float> laneOffsets(const std::vector<Connection>& wires);

}  // namespace rivulo
