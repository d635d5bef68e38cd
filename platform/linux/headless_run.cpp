#include "platform/linux/headless_run.h"

#include <cstdio>

namespace rivulo {

int runHeadless(const CommandLine& cl) {
  std::fprintf(stderr, "rivulo: --headless is not available in this build (%s)\n", cl.headlessProject.c_str());
  return 1;
}

}  // namespace rivulo
