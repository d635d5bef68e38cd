// Wires: parallel lanes for wires joining the same two nodes, the static
// drawing with arrowheads and light pulses, and the packet-flow dots.
#include "ui/wires.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "app/editor.h"
#include "ui/draw_kit.h"

namespace rivulo {

namespace {

ImVec2 toIm(Vec2f v) { return ImVec2(v.x, v.y); }
Vec2f fromIm(ImVec2 v) { return Vec2f{v.x, v.y}; }

struct WireColours {
  uint32_t core, glow, highlight, pulse, arrow, flow;
};

WireColours coloursFor(WireDirection direction) {
  if (direction == WireDirection::Inbound) {
    return {rgba(0.98f, 0.30f, 0.48f, 1), rgba(0.98f, 0.24f, 0.52f, 0.22f), rgba(1, 0.58f, 0.70f, 0.82f),
            rgba(1, 0.78f, 0.88f, 1),     rgba(1, 0.58f, 0.70f, 0.82f),     rgba(0.98f, 0.30f, 0.50f, 1)};
  }
  return {rgba(0.018f, 0.024f, 0.034f, 1), rgba(0.13f, 0.83f, 0.93f, 0.27f), rgba(0.20f, 0.88f, 1, 0.92f),
          rgba(0.72f, 0.98f, 1, 1),        rgba(0.22f, 0.92f, 1, 1),         rgba(0.13f, 0.83f, 0.93f, 1)};
}

// How much a node slows the flow dots of the wires at its ends.
float flowSlowdown(const Node& node) {
  switch (static_cast<NodeType>(node.type)) {
    case NodeType::Latency: return node.delayMs;
    case NodeType::HoldGate: return node.holdMs;
    case NodeType::Burst: return 0.5f * node.burstMs;
    default: return 0.0f;
  }
}

}  // namespace

bool laneOrderBefore(const Connection& a, const Connection& b, int32_t lowId) {
  const bool aFromLow = a.fromId == lowId;
  const bool bFromLow = b.fromId == lowId;
  if (aFromLow != bFromLow) return aFromLow;
  const bool aIn = a.direction == WireDirection::Inbound;
  const bool bIn = b.direction == WireDirection::Inbound;
  if (aIn != bIn) return aIn;
  return a.id < b.id;
}

std::vector<float> laneOffsets(const std::vector<Connection>& wires) {
  std::unordered_map<uint64_t, std::vector<size_t>> groups;
  groups.reserve(wires.size());
  auto pairKey = [](const Connection& w) {
    const auto low = static_cast<uint32_t>(std::min(w.fromId, w.toId));
    const auto high = static_cast<uint32_t>(std::max(w.fromId, w.toId));
    return (static_cast<uint64_t>(low) << 32) | high;
  };
  for (size_t i = 0; i < wires.size(); ++i) groups[pairKey(wires[i])].push_back(i);

  std::vector<float> offsets(wires.size(), 0.0f);
  for (auto& [key, members] : groups) {
    const auto lowId = static_cast<int32_t>(static_cast<uint32_t>(key >> 32));
    std::sort(members.begin(), members.end(),
              [&](size_t a, size_t b) { return laneOrderBefore(wires[a], wires[b], lowId); });
    const float middle = (static_cast<float>(members.size()) - 1.0f) * 0.5f;
    for (size_t rank = 0; rank < members.size(); ++rank) offsets[members[rank]] = static_cast<float>(rank) - middle;
  }
  return offsets;
}

Vec2f Editor::centerOf(const Node& node) const {
  return Vec2f{canvasOrigin.x + node.position.x + node.size.x * 0.5f,
               canvasOrigin.y + node.position.y + node.size.y * 0.5f};
}

Vec2f Editor::edgePoint(const Node& node, Vec2f toward) const {
  const ImVec2 c = toIm(centerOf(node));
  const ImVec2 d = vecNormalize(ImVec2(toward.x - c.x, toward.y - c.y));
  if (vecLength(d) < 0.001f) return fromIm(c);
  const float tx = std::fabs(d.x) > 0.0001f ? (node.size.x * 0.5f) / std::fabs(d.x) : 1e9f;
  const float ty = std::fabs(d.y) > 0.0001f ? (node.size.y * 0.5f) / std::fabs(d.y) : 1e9f;
  return fromIm(vecAdd(c, vecScale(d, std::min(tx, ty))));
}

LaneInfo Editor::laneInfo(const Connection& wire) const {
  LaneInfo info;
  const int32_t lowId = std::min(wire.fromId, wire.toId);
  const int32_t highId = std::max(wire.fromId, wire.toId);
  const Node* low = findNode(lowId);
  const Node* high = findNode(highId);
  if (low == nullptr || high == nullptr) return info;

  const Vec2f cl = centerOf(*low);
  const Vec2f ch = centerOf(*high);
  const ImVec2 dir = vecNormalize(ImVec2(ch.x - cl.x, ch.y - cl.y));
  info.canonicalNormal = Vec2f{-dir.y, dir.x};

  std::vector<const Connection*> group;
  for (const Connection& other : connections) {
    if (std::min(other.fromId, other.toId) == lowId && std::max(other.fromId, other.toId) == highId) {
      group.push_back(&other);
    }
  }
  std::sort(group.begin(), group.end(),
            [lowId](const Connection* a, const Connection* b) { return laneOrderBefore(*a, *b, lowId); });
  size_t index = 0;
  for (size_t i = 0; i < group.size(); ++i) {
    if (group[i]->id == wire.id) {
      index = i;
      break;
    }
  }
  info.offset = static_cast<float>(index) - (static_cast<float>(group.size()) - 1.0f) * 0.5f;
  return info;
}

bool Editor::wireCurve(const Connection& wire, WireCurve& curve, const float* laneOffset) const {
  const Node* nodeA = findNode(wire.fromId);
  const Node* nodeB = findNode(wire.toId);
  if (nodeA == nullptr || nodeB == nullptr) return false;
  const Vec2f centerA = centerOf(*nodeA);
  const Vec2f centerB = centerOf(*nodeB);
  const ImVec2 delta(centerB.x - centerA.x, centerB.y - centerA.y);
  const ImVec2 travelDir = vecNormalize(delta);
  const float dist = vecLength(delta);
  if (dist < 2.0f || vecLength(travelDir) < 0.001f) return false;

  // The normal runs across the low-to-high-id direction, so both orientations
  // of a pair bow to the same sides.
  const Vec2f low = wire.fromId <= wire.toId ? centerA : centerB;
  const Vec2f high = wire.fromId <= wire.toId ? centerB : centerA;
  const ImVec2 canonicalDir = vecNormalize(ImVec2(high.x - low.x, high.y - low.y));
  const ImVec2 normal(-canonicalDir.y, canonicalDir.x);
  const float offset = laneOffset != nullptr ? *laneOffset : laneInfo(wire).offset;
  const float spacing = dist >= 250.0f ? 24.0f : 19.0f;
  const float shift = offset * spacing;

  const ImVec2 side = vecScale(normal, 0.36f * shift);
  curve.a = vecAdd(toIm(edgePoint(*nodeA, centerB)), side);
  curve.b = vecAdd(toIm(edgePoint(*nodeB, centerA)), side);
  const float bend = std::clamp(0.27f * dist, 34.0f, 115.0f);
  const float bow = 1.38f * shift;
  curve.c1 = vecAdd(vecAdd(curve.a, vecScale(travelDir, bend)), vecScale(normal, bow));
  curve.c2 = vecAdd(vecSub(curve.b, vecScale(travelDir, bend)), vecScale(normal, bow));
  curve.distance = dist;
  return true;
}

void Editor::drawWires(ImDrawList* drawList) {
  const float t = static_cast<float>(guiTime());
  const std::vector<float> offsets = laneOffsets(connections);
  for (size_t i = 0; i < connections.size(); ++i) {
    const Connection& wire = connections[i];
    WireCurve w;
    if (!wireCurve(wire, w, &offsets[i])) continue;
    const WireColours colours = coloursFor(wire.direction);
    drawList->AddBezierCubic(w.a, w.c1, w.c2, w.b, withAlpha(colours.glow, 0.48f), 18.0f);
    drawList->AddBezierCubic(w.a, w.c1, w.c2, w.b, colours.glow, 10.0f);
    drawList->AddBezierCubic(w.a, w.c1, w.c2, w.b, colours.highlight, 4.8f);
    drawList->AddBezierCubic(w.a, w.c1, w.c2, w.b, colours.core, 2.15f);

    const float u = std::fmod(0.34f * t + 0.19f * static_cast<float>(wire.id), 1.0f);
    const float u0 = std::clamp(u - 0.055f, 0.0f, 1.0f);
    const float u1 = std::clamp(u + 0.055f, 0.0f, 1.0f);
    glowLine(drawList, bezierPoint(w.a, w.c1, w.c2, w.b, u0), bezierPoint(w.a, w.c1, w.c2, w.b, u1), colours.pulse,
             1.8f, 8.0f);

    const ArrowHead arrow = arrowHeadAt(w);
    drawList->AddTriangleFilled(arrow.tip, arrow.left, arrow.right, colours.arrow);
  }
}

ArrowHead arrowHeadAt(const WireCurve& w) {
  ArrowHead arrow;
  arrow.tip = bezierPoint(w.a, w.c1, w.c2, w.b, 0.992f);
  const ImVec2 tangent = vecNormalize(bezierTangent(w.a, w.c1, w.c2, w.b, 0.992f));
  const ImVec2 side(-tangent.y, tangent.x);
  const ImVec2 back = vecSub(arrow.tip, vecScale(tangent, 9.0f));
  arrow.left = vecAdd(back, vecScale(side, 5.04f));
  arrow.right = vecSub(back, vecScale(side, 5.04f));
  return arrow;
}

void Editor::drawWireFlow(ImDrawList* drawList) {
  flowClock += ImGui::GetIO().DeltaTime;
  const std::vector<float> offsets = laneOffsets(connections);
  for (size_t i = 0; i < connections.size(); ++i) {
    const Connection& wire = connections[i];
    const Node* nodeA = findNode(wire.fromId);
    const Node* nodeB = findNode(wire.toId);
    if (nodeA == nullptr || nodeB == nullptr || !nodeA->enabled || !nodeB->enabled) continue;
    WireCurve w;
    if (!wireCurve(wire, w, &offsets[i])) continue;
    const uint32_t colour = coloursFor(wire.direction).flow;
    const float slow = flowSlowdown(*nodeA) + flowSlowdown(*nodeB);
    const float speed = 1.0f / (1.0f + slow / 250.0f);
    const int count = w.distance > 360.0f ? 3 : (w.distance > 190.0f ? 2 : 1);
    for (int i = 0; i < count; ++i) {
      const float fi = static_cast<float>(i);
      const float u = std::fmod(flowClock * (0.55f + 0.035f * fi) * speed + 0.17f * static_cast<float>(wire.id) +
                                    0.31f * fi,
                                1.0f);
      const ImVec2 p = bezierPoint(w.a, w.c1, w.c2, w.b, u);
      const ImVec2 tangent = vecNormalize(bezierTangent(w.a, w.c1, w.c2, w.b, u));
      const ImVec2 tail = vecSub(p, vecScale(tangent, 10.0f));
      radialGlow(drawList, p, 17.0f, colour, 6);
      drawList->AddLine(tail, p, withAlpha(colour, 0.22f), 8.0f);
      drawList->AddLine(tail, p, colour, 2.4f);
      fillCircle(drawList, p, 4.5f, colour, 20);
      fillCircle(drawList, p, 1.7f, rgba(0.97f, 1, 1, 1), 16);
    }
  }
}

}  // namespace rivulo
