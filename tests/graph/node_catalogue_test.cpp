#include "graph/node_catalogue.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace rivulo {
namespace {

enum class Role { Device, Effect, Diagnostic, Invalid };

struct TypeCase {
  int type;
  const char* label;
  const char* displayName;
  Role role;
};

// The numbering is historical: Block sits among the devices and diagnostics,
// Access Point to Cloud follow the flow controls.
constexpr TypeCase kTypes[] = {
    {0, "ROUTER", "Router", Role::Device},
    {1, "PC", "PC", Role::Device},
    {2, "SERVER", "Server", Role::Device},
    {3, "SWITCH", "Switch", Role::Device},
    {4, "INTERNET", "Internet", Role::Device},
    {5, "LATENCY", "Latency", Role::Effect},
    {6, "DROP", "Drop", Role::Effect},
    {7, "JITTER", "Jitter", Role::Effect},
    {8, "THROTTLE", "Throttle", Role::Effect},
    {9, "HOLD GATE", "Hold Gate", Role::Effect},
    {10, "BURST", "Burst", Role::Effect},
    {11, "DUPLICATE", "Duplicate", Role::Effect},
    {12, "NTH DROP", "Nth Drop", Role::Effect},
    {13, "ACCESS POINT", "Access Point", Role::Device},
    {14, "LAPTOP", "Laptop", Role::Device},
    {15, "PHONE", "Phone", Role::Device},
    {16, "CLOUD", "Cloud", Role::Device},
    {17, "BLOCK", "Block", Role::Effect},
    {18, "PING PROBE", "Ping Probe", Role::Diagnostic},
    {19, "PACKET METER", "Packet Meter", Role::Diagnostic},
    {20, "NOTE", "Note", Role::Diagnostic},
    {21, "UNKNOWN", "Node", Role::Invalid},
    {-1, "UNKNOWN", "Node", Role::Invalid},
    {1 << 30, "UNKNOWN", "Node", Role::Invalid},
};

TEST(NodeCatalogue, LabelsNamesAndRolesOfEveryType) {
  for (const TypeCase& c : kTypes) {
    SCOPED_TRACE(c.type);
    EXPECT_STREQ(nodeTypeLabel(c.type), c.label);
    EXPECT_STREQ(nodeTypeDisplayName(c.type), c.displayName);
    EXPECT_EQ(isEffectNodeType(c.type), c.role == Role::Effect);
    EXPECT_EQ(isDiagnosticNodeType(c.type), c.role == Role::Diagnostic);
    EXPECT_EQ(isDeviceNodeType(c.type), c.role == Role::Device);
  }
}

TEST(NodeCatalogue, ToolboxOffersEveryTypeOnceUnderItsDisplayName) {
  const char* const titles[] = {"DEVICES", "EFFECTS", "FLOW CONTROL", "DIAGNOSTICS"};
  const size_t sizes[] = {9, 5, 4, 3};
  std::set<int> seen;
  ASSERT_EQ(kToolboxCategories.size(), 4u);
  for (size_t i = 0; i < kToolboxCategories.size(); ++i) {
    const ToolboxCategory& category = kToolboxCategories[i];
    EXPECT_STREQ(category.title, titles[i]);
    EXPECT_EQ(category.entries.size(), sizes[i]);
    for (const ToolboxEntry& entry : category.entries) {
      const int type = static_cast<int>(entry.type);
      EXPECT_STREQ(entry.displayName, nodeTypeDisplayName(type));
      EXPECT_NE(std::string(entry.description), "");
      EXPECT_TRUE(seen.insert(type).second) << "offered twice: " << type;
    }
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kNodeTypeCount));
  // Order within a category is the library's order, not the numbering.
  EXPECT_EQ(kToolboxDevices[1].type, NodeType::PC);
  EXPECT_STREQ(kToolboxDevices[1].description, "Desktop PC endpoint.");
  EXPECT_EQ(kToolboxDevices[2].type, NodeType::Laptop);
  EXPECT_EQ(kToolboxEffects[4].type, NodeType::Block);
  EXPECT_EQ(kToolboxDiagnostics[2].type, NodeType::Note);
}

}  // namespace
}  // namespace rivulo
