// The PROPERTIES tab: the selected node's kind and id, its name and enabled
// flag, the parameters its kind uses, and Duplicate / Delete.
#include <imgui.h>

#include <cstring>

#include "app/editor.h"
#include "graph/node_catalogue.h"

namespace rivulo {

namespace {

const char* modeName(EditMode mode) {
  switch (mode) {
    case EditMode::Select: return "SELECT";
    case EditMode::WireOut: return "WIRE OUT";
    case EditMode::WireIn: return "WIRE IN";
    case EditMode::Delete: return "DELETE";
  }
  return "SELECT";
}

}  // namespace

void Editor::drawPropertiesPanel() {
  ImGui::TextUnformatted("NODE PROPERTIES");
  ImGui::Separator();

  Node* node = findNode(selectedNodeId);
  if (node == nullptr) {
    ImGui::TextWrapped("Select a node to edit its properties.");
    ImGui::Spacing();
    ImGui::TextDisabled("Current mode:");
    ImGui::TextUnformatted(modeName(editMode));
    return;
  }

  ImGui::Text("Type: %s", nodeTypeLabel(node->type));
  ImGui::Text("ID: %d", node->id);
  ImGui::Separator();

  // Every editable widget is bracketed by the graph as it was before it, so
  // that one whole gesture (a drag, a typed rename) becomes one undo step.
  {
    char nameBuffer[128];
    std::strncpy(nameBuffer, node->name.c_str(), sizeof(nameBuffer) - 1);
    nameBuffer[sizeof(nameBuffer) - 1] = '\0';
    const EditSnapshot before = captureSnapshot();
    // A name longer than the buffer is shown cut but kept whole until edited.
    if (ImGui::InputText("Name", nameBuffer, sizeof(nameBuffer))) node->name = nameBuffer;
    trackPropertyEdit(before);
  }
  {
    const EditSnapshot before = captureSnapshot();
    ImGui::Checkbox("Enabled", &node->enabled);
    trackPropertyEdit(before);
  }

  auto dragFloat = [this](const char* label, float* value, float speed, float lo, float hi, const char* format) {
    const EditSnapshot before = captureSnapshot();
    ImGui::DragFloat(label, value, speed, lo, hi, format);
    trackPropertyEdit(before);
  };

  switch (static_cast<NodeType>(node->type)) {
    case NodeType::Latency:
      dragFloat("Delay (ms)", &node->delayMs, 1.0f, 0.0f, 10000.0f, "%.0f ms");
      dragFloat("Jitter (ms)", &node->jitterMs, 1.0f, 0.0f, 5000.0f, "%.0f ms");
      break;
    case NodeType::Drop:
      dragFloat("Drop (%)", &node->dropPercent, 0.1f, 0.0f, 100.0f, "%.1f %%");
      break;
    case NodeType::Jitter:
      dragFloat("Jitter (ms)", &node->jitterMs, 1.0f, 0.0f, 5000.0f, "%.0f ms");
      break;
    case NodeType::Throttle:
      dragFloat("Limit (KB/s)", &node->limitKBps, 10.0f, 1.0f, 1000000.0f, "%.0f KB/s");
      break;
    case NodeType::HoldGate:
      dragFloat("Hold time (ms)", &node->holdMs, 10.0f, 0.0f, 30000.0f, "%.0f ms");
      ImGui::TextDisabled("Each packet waits here before continuing to the next wired effect.");
      ImGui::Text("That is %.2f seconds.", node->holdMs / 1000.0f);
      break;
    case NodeType::Burst:
      dragFloat("Release every (ms)", &node->burstMs, 5.0f, 0.0f, 10000.0f, "%.0f ms");
      ImGui::TextDisabled("Packets arriving in the same window are released together.");
      break;
    case NodeType::Duplicate:
      dragFloat("Duplicate (%)", &node->duplicatePercent, 0.1f, 0.0f, 100.0f, "%.1f %%");
      ImGui::TextDisabled("Chance that a matching packet gets one extra copy.");
      break;
    case NodeType::NthDrop: {
      const EditSnapshot before = captureSnapshot();
      ImGui::DragInt("Drop every Nth", &node->dropEveryNth, 1.0f, 2, 1000, "%d");
      trackPropertyEdit(before);
      ImGui::TextDisabled("Example: 10 drops packet 10, 20, 30, ...");
      break;
    }
    case NodeType::Block:
      ImGui::TextColored(ImVec4(0.72f, 0.08f, 0.08f, 1.0f), "BLOCKS 100%% OF MATCHING TRAFFIC");
      ImGui::TextWrapped(
          "When this node is enabled inside a complete red/black chain, that direction is hard-blocked.");
      break;
    case NodeType::PingProbe:
      ImGui::Text("Target: %s", targetInput);
      if (pingOnline) {
        ImGui::Text("Live ping: %.0f ms", pingMs);
      } else {
        ImGui::TextDisabled("Live ping: N/A");
      }
      ImGui::TextWrapped("The target itself is changed from the NETWORK tab so every probe stays in sync.");
      break;
    case NodeType::PacketMeter:
      ImGui::Text("Inbound:  %.0f packets/s", rateIn);
      ImGui::Text("Outbound: %.0f packets/s", rateOut);
      ImGui::Text("Session total: %llu", static_cast<unsigned long long>(totalIn + totalOut));
      break;
    case NodeType::Note:
      ImGui::TextWrapped(
          "Use the Name field above as the note text. The block automatically grows to fit it up to the maximum "
          "node width.");
      break;
    case NodeType::AccessPoint:
    case NodeType::Laptop:
    case NodeType::Phone:
    case NodeType::Cloud:
      ImGui::TextDisabled("Diagram endpoint. Wire it like the other device nodes.");
      break;
    default:
      ImGui::TextDisabled("No special settings yet.");
      break;
  }

  ImGui::Spacing();
  ImGui::Separator();
  // Both buttons act on the selection; `node` is not touched after them
  // because duplicating may move the node list.
  if (ImGui::Button("Duplicate", ImVec2(120, 30))) duplicateSelectedNode();
  ImGui::SameLine();
  if (ImGui::Button("Delete node", ImVec2(-FLT_MIN, 30))) deleteSelectedNode();
}

}  // namespace rivulo
