#pragma once
// One undo/redo step: the whole graph and the snap setting.
#include <cstdint>
#include <vector>

#include "graph/node.h"

namespace rivulo {

struct EditSnapshot {
  std::vector<Node> nodes;
  std::vector<Connection> connections;
  int32_t nextNodeId = 1;
  int32_t nextConnectionId = 1;
  bool snapToGrid = false;
};

}  // namespace rivulo
