#pragma once
// Project files from the command line, without a window.
#include <cstdio>
#include <string>

namespace rivulo {

// Each prints the event-log lines its work wrote and returns the exit code.
int runCheckProject(const std::string& path, std::FILE* out);
int runConvertProject(const std::string& in, const std::string& out, std::FILE* stream);
int runResolveProject(const std::string& path, std::FILE* out);

}  // namespace rivulo
