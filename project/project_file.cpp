// The .lwv project file: a line-per-record text writer and an all-or-nothing
// reader. The reader parses into locals and touches the editor only once the
// whole file has been accepted, so a damaged file never costs the user the
// graph on screen.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <system_error>

#include "app/editor.h"
#include "project/text_encoding.h"

namespace rivulo {

namespace fs = std::filesystem;

namespace {

constexpr int kWrittenVersion = 3;
constexpr size_t kHeaderPreviewLength = 80;

void copyProjectPath(char (&buffer)[kProjectPathSize], const std::string& path) {
  std::memset(buffer, 0, sizeof(buffer));
  std::memcpy(buffer, path.data(), std::min(path.size(), sizeof(buffer) - 1));
}

std::string fileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

// The first line, for telling the user what the file claims to be.
std::string headerPreview(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() > kHeaderPreviewLength) {
    size_t cut = kHeaderPreviewLength;
    // Never end the message inside a UTF-8 sequence: step back to the lead
    // byte of a character the cut would split. Bytes that are no UTF-8 at
    // all (a binary file) are cut where they are, not dropped altogether.
    const auto continuation = [&line](size_t at) { return (static_cast<unsigned char>(line[at]) & 0xC0) == 0x80; };
    size_t lead = cut;
    while (lead > 0 && cut - lead < 3 && continuation(lead)) --lead;
    if (lead < cut && (static_cast<unsigned char>(line[lead]) & 0xC0) == 0xC0) cut = lead;
    line.resize(cut);
  }
  return line.empty() ? "<empty>" : line;
}

// Byte-order marks decide the encoding; without one the text is UTF-8 or ASCII.
// Returns false when UTF-16 text could not be converted.
bool decodeProjectText(std::string& bytes) {
  const auto startsWith = [&bytes](std::string_view mark) {
    return bytes.size() >= mark.size() && std::string_view(bytes).substr(0, mark.size()) == mark;
  };
  if (startsWith("\xEF\xBB\xBF")) {
    bytes.erase(0, 3);
    return true;
  }
  const bool littleEndian = startsWith("\xFF\xFE");
  if (!littleEndian && !startsWith("\xFE\xFF")) return true;
  const std::u16string units = utf16UnitsFromBytes(std::string_view(bytes).substr(2), !littleEndian);
  if (units.empty()) return true;  // nothing but the mark: left for the header check to refuse
  std::string converted = utf16ToUtf8(units);
  if (converted.empty()) return false;
  bytes = std::move(converted);
  return true;
}

// The largest id read, as the next id to hand out, kept inside the id range.
int32_t nextIdAfter(int64_t largest) {
  return static_cast<int32_t>(std::min<int64_t>(largest + 1, std::numeric_limits<int32_t>::max()));
}

struct ParsedProject {
  std::vector<Node> nodes;
  std::vector<Connection> connections;
  bool snapToGrid = false;
  bool darkTheme = true;
  int64_t largestNodeId = 0;
  int64_t largestWireId = 0;
};

// Reads the records after the header. Returns the failure message, or an
// empty text when every record was read.
std::string parseRecords(std::istream& in, int version, const std::string& fileName, ParsedProject& project) {
  std::string word;
  while (in >> word) {
    if (word == "NODE") {
      Node node;
      int enabled = 0;
      in >> node.id >> node.type >> std::quoted(node.name) >> node.position.x >> node.position.y >> node.delayMs >>
          node.jitterMs >> node.dropPercent >> node.limitKBps;
      if (version >= 2) in >> node.holdMs >> node.burstMs >> node.duplicatePercent >> node.dropEveryNth;
      in >> enabled;
      if (!in) return "Load failed: damaged NODE entry in " + fileName;
      if (node.type < 0 || node.type >= kNodeTypeCount) {
        return "Load failed: unknown node type " + std::to_string(node.type) + " in " + fileName;
      }
      node.enabled = enabled != 0;
      project.largestNodeId = std::max<int64_t>(project.largestNodeId, node.id);
      project.nodes.push_back(std::move(node));
    } else if (word == "VIEW") {
      int snap = 0;
      if (!(in >> snap)) return "Load failed: damaged VIEW entry in " + fileName;
      int dark = 0;
      if (version >= 3 && !(in >> dark)) return "Load failed: damaged VIEW entry in " + fileName;
      project.snapToGrid = snap != 0;
      if (version >= 3) project.darkTheme = dark != 0;
    } else if (word == "WIRE") {
      Connection wire;
      int32_t direction = 0;
      if (!(in >> wire.id >> wire.fromId >> wire.toId >> direction)) {
        return "Load failed: damaged WIRE entry in " + fileName;
      }
      if (direction != 0 && direction != 1) return "Load failed: invalid wire direction in " + fileName;
      wire.direction = static_cast<WireDirection>(direction);
      project.largestWireId = std::max<int64_t>(project.largestWireId, wire.id);
      project.connections.push_back(wire);
    } else {
      in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
  }
  return {};
}

// A value the reader can take back. The properties panel's typed input is
// not range-limited, so "1e39" reaches a node as infinity; written as "inf"
// it would make the whole file unreadable. The nearest finite value (and 0
// for a NaN) resolves to the same effect settings, which bound every value.
float storableFloat(float value) {
  if (std::isnan(value)) return 0.0f;
  return std::clamp(value, std::numeric_limits<float>::lowest(), std::numeric_limits<float>::max());
}

std::string serialiseProject(const Editor& editor) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out << "LINKWEAVE " << kWrittenVersion << '\n';
  out << "VIEW " << (editor.snapToGrid ? 1 : 0) << ' ' << (editor.darkTheme ? 1 : 0) << '\n';
  for (const Node& node : editor.nodes) {
    out << "NODE " << node.id << ' ' << node.type << ' ' << std::quoted(node.name);
    for (float value : {node.position.x, node.position.y, node.delayMs, node.jitterMs, node.dropPercent,
                        node.limitKBps, node.holdMs, node.burstMs, node.duplicatePercent}) {
      out << ' ' << storableFloat(value);
    }
    out << ' ' << node.dropEveryNth << ' ' << (node.enabled ? 1 : 0) << '\n';
  }
  for (const Connection& wire : editor.connections) {
    out << "WIRE " << wire.id << ' ' << wire.fromId << ' ' << wire.toId << ' ' << static_cast<int32_t>(wire.direction)
        << '\n';
  }
  return out.str();
}

// A name beside the target that no existing file uses, so the old project is
// only replaced once the new one is complete on disk.
fs::path temporaryNameFor(const fs::path& target) {
  std::random_device seed;
  std::mt19937 random(seed());
  const fs::path folder = target.parent_path();
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::ostringstream name;
    name << '.' << target.filename().string() << '.' << std::hex << random() << ".tmp";
    fs::path candidate = folder / name.str();
    std::error_code error;
    if (!fs::exists(fs::symlink_status(candidate, error))) return candidate;
  }
  return {};
}

}  // namespace

void Editor::saveProject(const std::string& path) {
  fs::path temporary;
  try {
    fs::path target(path);
    if (target.has_parent_path()) fs::create_directories(target.parent_path());
    // A linked project is rewritten where it lives; renaming over the link
    // would replace the link and leave the file it names stale.
    if (fs::is_symlink(target)) target = fs::weakly_canonical(target);
    if (!target.has_filename()) {
      addLog("Save failed: could not open " + path);
      return;
    }
    // A project the user may not write stays refused, as it would be if it
    // were opened in place; appending nothing probes that without a change.
    bool writable = true;
    if (fs::is_regular_file(target)) writable = std::ofstream(target, std::ios::out | std::ios::app).is_open();
    std::ofstream file;
    if (writable) temporary = temporaryNameFor(target);
    if (!temporary.empty()) file.open(temporary, std::ios::out | std::ios::trunc);
    if (!file.is_open()) {
      addLog("Save failed: could not open " + path);
      return;
    }
    const std::string text = serialiseProject(*this);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.flush();
    file.close();
    if (!file) throw fs::filesystem_error("could not write the project", temporary,
                                          std::make_error_code(std::errc::io_error));
    // Keep the permissions the user gave the old file.
    std::error_code ignored;
    const fs::file_status old = fs::status(target, ignored);
    if (fs::is_regular_file(old)) fs::permissions(temporary, old.permissions(), ignored);
    fs::rename(temporary, target);
    temporary.clear();

    copyProjectPath(projectPath, path);
    addLog("Saved project to " + path);
    refreshProjectList(true);
  } catch (const std::exception& error) {
    if (!temporary.empty()) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
    }
    addLog(std::string("Save failed: ") + error.what());
  }
}

bool Editor::loadProject(const std::string& path) {
  std::string text;
  {
    std::error_code error;
    std::ifstream file;
    // A folder opens like a file on Linux and then reads as nothing.
    if (!fs::is_directory(path, error)) file.open(path, std::ios::in | std::ios::binary);
    if (!file.is_open()) {
      addLog("Load failed: could not open " + path);
      return false;
    }
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
      addLog("Load failed: could not open " + path);
      return false;
    }
  }
  if (text.empty()) {
    addLog("Load failed: project is empty: " + path);
    return false;
  }
  if (!decodeProjectText(text)) {
    addLog("Load failed: could not decode project text: " + path);
    return false;
  }

  std::istringstream in(text);
  in.imbue(std::locale::classic());
  std::string magic;
  int version = 0;
  if (!(in >> magic >> version)) {
    addLog("Load failed: missing RIVULO header in " + path);
    return false;
  }
  const std::string fileName = fileNameOf(path);
  if (toLowerAscii(magic) != "linkweave" || version < 1 || version > 3) {
    addLog("Load failed: unsupported project format: " + fileName + " (header: " + headerPreview(text) + ")");
    return false;
  }

  ParsedProject project;
  project.darkTheme = darkTheme;
  const std::string failure = parseRecords(in, version, fileName, project);
  if (!failure.empty()) {
    addLog(failure);
    return false;
  }

  if (simulationActive) stopSimulation();
  nodes = std::move(project.nodes);
  connections = std::move(project.connections);
  snapToGrid = project.snapToGrid;
  darkTheme = project.darkTheme;
  nextNodeId = nextIdAfter(project.largestNodeId);
  nextConnectionId = nextIdAfter(project.largestWireId);
  selectedNodeId = -1;
  wireStartNodeId = -1;
  pendingDeleteNodeId = -1;
  undoStack.clear();
  redoStack.clear();
  dragUndoArmed = false;
  propertyEditArmed = false;
  copyProjectPath(projectPath, path);
  applyStyle();
  addLog("Loaded project from " + path);
  refreshProjectList(true);
  return true;
}

std::string toLowerAscii(const std::string& text) {
  std::string lowered = text;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lowered;
}

}  // namespace rivulo
