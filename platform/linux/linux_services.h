#pragma once
// The editor's services on Linux: packet driver, monitor probe, hotkey
// devices, the program's own path.
#include "app/editor.h"

namespace rivulo {

EditorServices makeLinuxServices(WindowActions* window);

// Full path of the running program from /proc/self/exe, or empty.
std::string executablePath();

}  // namespace rivulo
