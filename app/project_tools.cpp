#include "app/project_tools.h"

namespace rivulo {

int runCheckProject(const std::string& path, std::FILE* out) {
  std::fprintf(out, "--check-project is not available in this build: %s\n", path.c_str());
  return 1;
}

int runConvertProject(const std::string& in, const std::string& out, std::FILE* stream) {
  std::fprintf(stream, "--convert is not available in this build: %s -> %s\n", in.c_str(), out.c_str());
  return 1;
}

}  // namespace rivulo
