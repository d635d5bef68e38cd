#include "graph/node_catalogue.h"

namespace rivulo {

namespace {

struct TypeNames {
  const char* label;
  const char* displayName;
};

// Indexed by the stored type value.
constexpr std::array<TypeNames, kNodeTypeCount> kTypeNames{{
    {"ROUTER", "Router"},
    {"PC", "PC"},
    {"SERVER", "Server"},
    {"SWITCH", "Switch"},
    {"INTERNET", "Internet"},
    {"LATENCY", "Latency"},
    {"DROP", "Drop"},
    {"JITTER", "Jitter"},
    {"THROTTLE", "Throttle"},
    {"HOLD GATE", "Hold Gate"},
    {"BURST", "Burst"},
    {"DUPLICATE", "Duplicate"},
    {"NTH DROP", "Nth Drop"},
    {"ACCESS POINT", "Access Point"},
    {"LAPTOP", "Laptop"},
    {"PHONE", "Phone"},
    {"CLOUD", "Cloud"},
    {"BLOCK", "Block"},
    {"PING PROBE", "Ping Probe"},
    {"PACKET METER", "Packet Meter"},
    {"NOTE", "Note"},
}};

bool isValidType(int type) { return type >= 0 && type < kNodeTypeCount; }

}  // namespace

const char* nodeTypeLabel(int type) { return isValidType(type) ? kTypeNames[type].label : "UNKNOWN"; }

const char* nodeTypeDisplayName(int type) { return isValidType(type) ? kTypeNames[type].displayName : "Node"; }

bool isEffectNodeType(int type) {
  return (type >= static_cast<int>(NodeType::Latency) && type <= static_cast<int>(NodeType::NthDrop)) ||
         type == static_cast<int>(NodeType::Block);
}

bool isDiagnosticNodeType(int type) {
  return type == static_cast<int>(NodeType::PingProbe) || type == static_cast<int>(NodeType::PacketMeter) ||
         type == static_cast<int>(NodeType::Note);
}

bool isDeviceNodeType(int type) { return isValidType(type) && !isEffectNodeType(type) && !isDiagnosticNodeType(type); }

}  // namespace rivulo
