// Project files from the command line: the same loader and writer as the
// editor, reporting through the same log lines, without a window.
#include "app/project_tools.h"

#include "app/editor.h"

namespace rivulo {

namespace {

EditorServices toolServices() {
  EditorServices services;
  services.openAutoload = false;  // only the file named on the command line is read
  return services;
}

// Prints the lines written since `from`, one a line.
void printLogSince(const Editor& editor, size_t from, std::FILE* out) {
  for (size_t i = from; i < editor.eventLog.size(); ++i) std::fprintf(out, "%s\n", editor.eventLog[i].text.c_str());
  std::fflush(out);
}

}  // namespace

int runCheckProject(const std::string& path, std::FILE* out) {
  Editor editor(toolServices());
  const size_t start = editor.eventLog.size();
  const bool loaded = editor.loadProject(path);
  printLogSince(editor, start, out);
  return loaded ? 0 : 1;
}

int runConvertProject(const std::string& in, const std::string& out, std::FILE* stream) {
  Editor editor(toolServices());
  const size_t start = editor.eventLog.size();
  if (!editor.loadProject(in)) {
    printLogSince(editor, start, stream);
    return 1;
  }
  const size_t beforeSave = editor.eventLog.size();
  editor.saveProject(out);
  const bool saved = editor.eventLog.size() > beforeSave && editor.eventLog.back().text == "Saved project to " + out;
  printLogSince(editor, start, stream);
  return saved ? 0 : 1;
}

}  // namespace rivulo
