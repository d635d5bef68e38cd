#pragma once
// Runs a shell command and collects what it printed, for end-to-end tests.
#include <string>

namespace rivulo::test {

struct CommandResult {
  int exitCode = -1;
  std::string output;  // standard output and standard error, interleaved
};

CommandResult runCommand(const std::string& command);

// Single-quotes a word for the shell.
std::string shellQuote(const std::string& word);

bool commandExists(const std::string& name);

}  // namespace rivulo::test
