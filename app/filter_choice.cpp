// The FILTER choice of the top bar turned into a filter text.
#include "app/editor.h"

namespace rivulo {

std::string Editor::composeFilter() const {
  switch (filterMode) {
    case 0: return "true";
    case 1: return "udp";
    case 2: return "tcp";
    case 3: return "ip or ipv6";
    case 4: return "inbound";
    case 5: return "outbound";
    case 6: return customFilter[0] != '\0' ? std::string(customFilter) : std::string("true");
    default: return "true";
  }
}

}  // namespace rivulo
