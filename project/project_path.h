#pragma once
#include <cstddef>

namespace rivulo {

// Size of the buffer holding the current project's path: as long as a Linux
// path may be (PATH_MAX), so a project in a deep folder is never cut short
// and then saved somewhere else.
constexpr size_t kProjectPathSize = 4096;

}  // namespace rivulo
