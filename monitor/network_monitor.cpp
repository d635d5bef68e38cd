// The network monitor: the worker that pings and reads interface counters,
// and the UI side that turns its samples into totals, rates and histories.
#include "app/editor.h"

namespace rivulo {

void Editor::pollSample() {}

void Editor::monitorWorker() {}

}  // namespace rivulo
