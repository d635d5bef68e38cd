#pragma once
#include <string>
#include <vector>

namespace rivulo {

struct LogEntry {
  double time = 0.0;  // GUI-clock seconds
  std::string text;
};

// Oldest first; never more than kMaxLines after an append.
using EventLog = std::vector<LogEntry>;

constexpr size_t kEventLogMaxLines = 400;
constexpr size_t kEventLogTrimLines = 100;

// The panel's text for one entry: "[%07.2f] %s".
std::string formatLogLine(const LogEntry& entry);

}  // namespace rivulo
