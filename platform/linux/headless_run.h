#pragma once
// --headless: the effect pipeline of a project file without a window, for
// scripts and CI.
#include <atomic>
#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "engine/divert_stats.h"
#include "engine/effect_config.h"
#include "engine/packet_driver.h"

namespace rivulo {

// Reads a project file into the effects its wired chains resolve to. On
// failure returns false and `error` holds the load's log line.
bool loadProjectEffects(const std::string& path, ActiveEffects& effects, std::string& error);

// One status line with the NETWORK panel's counters (no newline).
std::string formatHeadlessStatus(const DivertStats& stats, double seconds);

struct HeadlessOptions {
  std::string projectPath;
  std::string filter = "true";
  double seconds = 0.0;  // 0: until `stop` is set
};

// Loads the project, starts the pipeline, prints a status line a second to
// `out`, applies saved changes of the file within a second, and stops (held
// packets flushed, rules removed) when `stop` becomes true or the time is up.
// Returns the process exit code: 0, or 1 when loading or starting failed.
int runHeadlessPipeline(const HeadlessOptions& options, PacketDriverFactory drivers, std::FILE* out,
                        const std::atomic<bool>& stop);

// The command-line entry: signals SIGINT/SIGTERM/SIGHUP end the run.
int runHeadless(const CommandLine& cl);

}  // namespace rivulo
