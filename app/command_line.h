#pragma once
// The program's command line. Every flag of every mode is parsed here so that
// a typo is caught before anything starts.
#include <string>

namespace rivulo {

struct CommandLine {
  bool help = false;
  bool version = false;
  std::string error;  // set when the arguments do not parse

  // Editor (windowed) mode.
  std::string projectFile;     // a project to open after start-up
  std::string screenshotPath;  // --screenshot FILE.png
  int frames = 30;             // --frames N, with --screenshot
  int selectNodeId = -1;       // --select ID
  std::string tab;             // --tab properties|network|projects
  bool startSimulation = false;  // --start
  std::string pingTarget;        // --ping-target ADDR, instead of the default
  std::string openDialog;        // --open-dialog save|open: the project chooser, shown at start
  std::string hotkey;            // --hotkey NAME, a row of the hotkey table

  // Project tools, no window.
  std::string checkProject;                // --check-project FILE
  std::string convertIn, convertOut;       // --convert IN OUT
  std::string resolveProject;              // --resolve FILE

  // Headless effect pipeline.
  std::string headlessProject;  // --headless FILE
  std::string filter = "true";  // --filter TEXT
  double seconds = 0.0;         // --seconds N, 0 = until a signal
};

CommandLine parseCommandLine(int argc, const char* const* argv);

const char* usageText();

}  // namespace rivulo
