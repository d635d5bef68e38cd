#pragma once
// The built-in kinds of node: their labels, names, chain roles and the order in
// which the node library offers them. Lookups take the kind as a plain integer
// so that a value read from a file or a stale record still yields a printable
// label instead of undefined behaviour.
#include <array>
#include <cstdint>
#include <span>

#include "graph/node.h"

namespace rivulo {

// Upper-case label for cards and the properties panel; "UNKNOWN" outside 0..20.
const char* nodeTypeLabel(int type);
// Name for toolbox buttons and new nodes; "Node" outside 0..20.
const char* nodeTypeDisplayName(int type);
// Effects take part in chain resolution: 5..12 and Block (17).
bool isEffectNodeType(int type);
// Ping Probe, Packet Meter and Note: wired along, but neither endpoints nor effects.
bool isDiagnosticNodeType(int type);
// Chain endpoints: every valid kind that is neither an effect nor a diagnostic.
bool isDeviceNodeType(int type);

struct ToolboxEntry {
  const char* displayName;
  NodeType type;
  const char* description;
};

struct ToolboxCategory {
  const char* title;
  std::span<const ToolboxEntry> entries;
};

inline constexpr std::array<ToolboxEntry, 9> kToolboxDevices{{
    {"Router", NodeType::Router, "Router / gateway endpoint for a simulated path."},
    {"PC", NodeType::PC, "Desktop PC endpoint."},
    {"Laptop", NodeType::Laptop, "Laptop endpoint for diagrams and routes."},
    {"Phone", NodeType::Phone, "Phone / mobile-device endpoint."},
    {"Server", NodeType::Server, "Server endpoint."},
    {"Switch", NodeType::Switch, "Ethernet switch / distribution node."},
    {"Access Point", NodeType::AccessPoint, "Wi-Fi access point node."},
    {"Internet", NodeType::Internet, "Internet / WAN endpoint."},
    {"Cloud", NodeType::Cloud, "Generic remote cloud / service endpoint."},
}};

inline constexpr std::array<ToolboxEntry, 5> kToolboxEffects{{
    {"Latency", NodeType::Latency, "Adds a fixed delay in milliseconds."},
    {"Drop", NodeType::Drop, "Randomly drops a configurable percentage of matching packets."},
    {"Jitter", NodeType::Jitter, "Adds a changing random delay to matching packets."},
    {"Throttle", NodeType::Throttle, "Limits matching traffic to a configured KB/s rate."},
    {"Block", NodeType::Block, "Hard block: drops 100% of matching traffic on this wired direction."},
}};

inline constexpr std::array<ToolboxEntry, 4> kToolboxFlowControl{{
    {"Hold Gate", NodeType::HoldGate, "Holds each packet for a fixed time before releasing it."},
    {"Burst", NodeType::Burst, "Collects packets into a short release window so traffic arrives in bursts."},
    {"Duplicate", NodeType::Duplicate, "Duplicates a configurable percentage of matching packets."},
    {"Nth Drop", NodeType::NthDrop, "Deterministically drops every Nth matching packet."},
}};

inline constexpr std::array<ToolboxEntry, 3> kToolboxDiagnostics{{
    {"Ping Probe", NodeType::PingProbe, "Shows the live ping result from the NETWORK panel directly on the canvas."},
    {"Packet Meter", NodeType::PacketMeter, "Shows live inbound and outbound packet rates on the canvas."},
    {"Note", NodeType::Note, "Simple annotation block. Rename it to whatever note or label you want."},
}};

// The node library's categories, in the order they are shown.
inline constexpr std::array<ToolboxCategory, 4> kToolboxCategories{{
    {"DEVICES", kToolboxDevices},
    {"EFFECTS", kToolboxEffects},
    {"FLOW CONTROL", kToolboxFlowControl},
    {"DIAGNOSTICS", kToolboxDiagnostics},
}};

}  // namespace rivulo
