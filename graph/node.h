#pragma once
// The graph records: nodes on the canvas and the wires between them.
#include <cstdint>
#include <string>

namespace rivulo {

struct Vec2f {
  float x = 0.0f;
  float y = 0.0f;
};

// Kinds as stored in project files. The numbering is historical, not grouped.
enum class NodeType : int32_t {
  Router = 0,
  PC = 1,
  Server = 2,
  Switch = 3,
  Internet = 4,
  Latency = 5,
  Drop = 6,
  Jitter = 7,
  Throttle = 8,
  HoldGate = 9,
  Burst = 10,
  Duplicate = 11,
  NthDrop = 12,
  AccessPoint = 13,
  Laptop = 14,
  Phone = 15,
  Cloud = 16,
  Block = 17,
  PingProbe = 18,
  PacketMeter = 19,
  Note = 20,
};

constexpr int32_t kNodeTypeCount = 21;

struct Node {
  int32_t id = 0;
  int32_t type = static_cast<int32_t>(NodeType::PC);
  std::string name;
  Vec2f position{0.0f, 0.0f};
  Vec2f size{110.0f, 68.0f};
  float delayMs = 120.0f;
  float jitterMs = 0.0f;
  float dropPercent = 10.0f;
  float limitKBps = 1000.0f;
  float holdMs = 5000.0f;
  float burstMs = 250.0f;
  float duplicatePercent = 5.0f;
  int32_t dropEveryNth = 10;
  bool enabled = true;
};

enum class WireDirection : int32_t {
  Outbound = 0,
  Inbound = 1,
};

struct Connection {
  int32_t id = 0;
  int32_t fromId = 0;
  int32_t toId = 0;
  WireDirection direction = WireDirection::Outbound;
};

}  // namespace rivulo
