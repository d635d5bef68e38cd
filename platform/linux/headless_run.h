#pragma once
#include "app/command_line.h"

namespace rivulo {

// --headless: the effect pipeline of a project file without a window.
int runHeadless(const CommandLine& cl);

}  // namespace rivulo
