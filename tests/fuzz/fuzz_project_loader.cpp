// Feeds arbitrary bytes to the project loader as a file on disk. Beyond what
// the sanitizers catch, it checks the loader's promises: a refused file is
// reported by exactly one "Load failed: " line, an accepted one by exactly
// one "Loaded project from " line, and whatever was accepted saves and loads
// again with the same records.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/editor.h"

namespace {

using rivulo::Editor;

std::string scratchPath(const char* suffix) {
  // TMPDIR is honoured, so a run can keep its files in a folder of its own.
  return (std::filesystem::temp_directory_path() /
          ("fuzz-project-loader-" + std::to_string(getpid()) + suffix))
      .string();
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) __builtin_trap();
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

Editor& sharedEditor() {
  static Editor editor([] {
    rivulo::EditorServices services;
    services.openAutoload = false;
    return services;
  }());
  return editor;
}

// Gives back everything a run allocated, so that the fuzzer's leak check
// (which looks again whenever a run ends with more allocations than frees)
// stays quiet and fast, and puts the flags a file may keep back to the start
// so that every input behaves the same when replayed alone.
void releaseRunState(Editor& editor) {
  editor.darkTheme = true;
  editor.snapToGrid = false;
  editor.nextNodeId = 1;
  editor.nextConnectionId = 1;
  editor.nodes = {};
  editor.connections = {};
  editor.eventLog = {};
  editor.undoStack = {};
  editor.redoStack = {};
}

// Loads `path` and checks the lines the load wrote; returns whether it loaded.
bool checkedLoad(Editor& editor, const std::string& path) {
  editor.eventLog.clear();
  const bool loaded = editor.loadProject(path);
  int failures = 0;
  for (const rivulo::LogEntry& entry : editor.eventLog) failures += startsWith(entry.text, "Load failed: ");
  if (editor.eventLog.size() != 1) __builtin_trap();
  if (loaded && editor.eventLog[0].text != "Loaded project from " + path) __builtin_trap();
  if (!loaded && failures != 1) __builtin_trap();
  return loaded;
}

bool sameRecords(const rivulo::EditSnapshot& a, const Editor& b) {
  if (a.nodes.size() != b.nodes.size() || a.connections.size() != b.connections.size()) return false;
  if (a.nextNodeId != b.nextNodeId || a.nextConnectionId != b.nextConnectionId || a.snapToGrid != b.snapToGrid) {
    return false;
  }
  for (size_t i = 0; i < a.nodes.size(); ++i) {
    const rivulo::Node &x = a.nodes[i], &y = b.nodes[i];
    if (x.id != y.id || x.type != y.type || x.name != y.name || x.dropEveryNth != y.dropEveryNth ||
        x.enabled != y.enabled) {
      return false;
    }
  }
  for (size_t i = 0; i < a.connections.size(); ++i) {
    const rivulo::Connection &x = a.connections[i], &y = b.connections[i];
    if (x.id != y.id || x.fromId != y.fromId || x.toId != y.toId || x.direction != y.direction) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = scratchPath(".lwv");
  static const std::string resaved = scratchPath("-resaved.lwv");
  static const struct Cleanup {
    ~Cleanup() {
      std::error_code ignored;
      std::filesystem::remove(input, ignored);
      std::filesystem::remove(resaved, ignored);
    }
  } cleanup;
  // One editor for the whole run: constructing one per input would cost more
  // than the load itself.
  Editor& editor = sharedEditor();
  struct Release {
    Editor& editor;
    ~Release() { releaseRunState(editor); }
  } release{editor};

  writeFile(input, data, size);
  if (!checkedLoad(editor, input)) return 0;

  const rivulo::EditSnapshot loaded = editor.captureSnapshot();
  const bool dark = editor.darkTheme;
  editor.eventLog.clear();
  editor.saveProject(resaved);
  if (editor.eventLog.size() != 1 || editor.eventLog[0].text != "Saved project to " + resaved) __builtin_trap();
  if (!checkedLoad(editor, resaved)) __builtin_trap();
  if (!sameRecords(loaded, editor) || editor.darkTheme != dark) __builtin_trap();
  return 0;
}
