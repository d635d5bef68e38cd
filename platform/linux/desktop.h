#pragma once
#include <functional>

#include "app/command_line.h"

namespace rivulo {

class Editor;

// Opens the window and runs the editor until it is closed. `afterStartup`
// runs once the editor is constructed, before the first frame.
int runDesktop(const CommandLine& cl, const std::function<void(Editor&)>& afterStartup = {});

}  // namespace rivulo
