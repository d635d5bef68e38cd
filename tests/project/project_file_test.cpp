#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "app/editor.h"
#include "tests/project/project_test_util.h"

namespace rivulo {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::ScratchFolder;

const char kWorkedExample[] =
    "LINKWEAVE 3\n"
    "VIEW 1 1\n"
    "NODE 1 1 \"PC 1\" 40 60 120 0 10 1000 5000 250 5 10 1\n"
    "NODE 2 5 \"Latency 2\" 220 60 150 0 10 1000 5000 250 5 10 1\n"
    "NODE 3 0 \"Router 3\" 400 60 120 0 10 1000 5000 250 5 10 1\n"
    "WIRE 1 1 2 0\n"
    "WIRE 2 2 3 0\n";

class ProjectFile : public ::testing::Test {
 protected:
  ProjectFile() {
    editor.canvasSize = {2000.0f, 2000.0f};
    editor.eventLog.clear();
  }
  std::string lastLog() const { return editor.eventLog.empty() ? "" : editor.eventLog.back().text; }
  std::vector<std::string> log() const {
    std::vector<std::string> lines;
    for (const LogEntry& entry : editor.eventLog) lines.push_back(entry.text);
    return lines;
  }

  void buildWorkedExample() {
    editor.addNode(NodeType::PC, 40, 60);
    editor.addNode(NodeType::Latency, 220, 60);
    editor.nodes.back().delayMs = 150;
    editor.addNode(NodeType::Router, 400, 60);
    editor.createConnection(1, 2, WireDirection::Outbound);
    editor.createConnection(2, 3, WireDirection::Outbound);
    editor.snapToGrid = true;
    editor.darkTheme = true;
  }

  ScratchFolder folder;
  Editor editor;
};

void expectSameNodes(const std::vector<Node>& actual, const std::vector<Node>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < actual.size(); ++i) {
    const Node& a = actual[i];
    const Node& e = expected[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(a.id, e.id);
    EXPECT_EQ(a.type, e.type);
    EXPECT_EQ(a.name, e.name);
    EXPECT_FLOAT_EQ(a.position.x, e.position.x);
    EXPECT_FLOAT_EQ(a.position.y, e.position.y);
    EXPECT_FLOAT_EQ(a.delayMs, e.delayMs);
    EXPECT_FLOAT_EQ(a.jitterMs, e.jitterMs);
    EXPECT_FLOAT_EQ(a.dropPercent, e.dropPercent);
    EXPECT_FLOAT_EQ(a.limitKBps, e.limitKBps);
    EXPECT_FLOAT_EQ(a.holdMs, e.holdMs);
    EXPECT_FLOAT_EQ(a.burstMs, e.burstMs);
    EXPECT_FLOAT_EQ(a.duplicatePercent, e.duplicatePercent);
    EXPECT_EQ(a.dropEveryNth, e.dropEveryNth);
    EXPECT_EQ(a.enabled, e.enabled);
  }
}

TEST_F(ProjectFile, WritesTheWorkedExampleByteForByte) {
  buildWorkedExample();
  const std::string path = folder.file("sub/dir/example.lwv");  // missing folders are made
  editor.saveProject(path);
  EXPECT_EQ(lastLog(), "Saved project to " + path);
  EXPECT_EQ(readBytes(path), kWorkedExample);
  EXPECT_STREQ(editor.projectPath, path.c_str());
  // Saving leaves the graph and its history alone, and no temporary file behind.
  EXPECT_EQ(editor.undoStack.size(), 5u);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path() / "sub/dir"), fs::directory_iterator()), 1);
}

TEST_F(ProjectFile, ReadsTheWorkedExampleIntoAFreshEditor) {
  buildWorkedExample();
  const std::vector<Node> expected = editor.nodes;
  Editor other;
  other.darkTheme = false;
  const std::string path = folder.write("example.lwv", kWorkedExample);
  ASSERT_TRUE(other.loadProject(path));
  expectSameNodes(other.nodes, expected);
  ASSERT_EQ(other.connections.size(), 2u);
  EXPECT_EQ(other.connections[1].fromId, 2);
  EXPECT_EQ(other.connections[1].toId, 3);
  EXPECT_TRUE(other.snapToGrid);
  EXPECT_TRUE(other.darkTheme);
  EXPECT_EQ(other.nextNodeId, 4);
  EXPECT_EQ(other.nextConnectionId, 3);
  EXPECT_EQ(other.eventLog.back().text, "Loaded project from " + path);
}

TEST_F(ProjectFile, RoundTripsEveryField) {
  editor.addNode(NodeType::Note, 0, 0);
  editor.addNode(NodeType::Throttle, 0, 0);
  Node& note = editor.nodes[0];
  note.name = "say \"hi\" to C:\\path\\ \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80";
  note.position = {123.4567f, 0.1f};
  note.enabled = false;
  Node& throttle = editor.nodes[1];
  throttle.name = "";
  throttle.limitKBps = 1000000.0f;
  throttle.delayMs = 0.00001f;
  throttle.jitterMs = -2.5f;
  throttle.dropPercent = 99.99f;
  throttle.holdMs = 1e-4f;
  throttle.burstMs = 7;
  throttle.duplicatePercent = 33.3333f;
  throttle.dropEveryNth = -4;
  editor.createConnection(2, 1, WireDirection::Inbound);
  editor.darkTheme = false;
  const std::vector<Node> saved = editor.nodes;
  const std::string path = folder.file("all.lwv");
  editor.saveProject(path);

  const std::string text = readBytes(path);
  EXPECT_NE(text.find("NODE 1 20 \"say \\\"hi\\\" to C:\\\\path\\\\ \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80\" 123.457 0.1 "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("NODE 2 8 \"\" 0 0 1e-05 -2.5 99.99 1e+06 0.0001 7 33.3333 -4 1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("VIEW 0 0\n"), std::string::npos);
  EXPECT_NE(text.find("WIRE 1 2 1 1\n"), std::string::npos);

  editor.clearCanvas();
  editor.darkTheme = true;
  ASSERT_TRUE(editor.loadProject(path));
  std::vector<Node> expected = saved;
  expected[0].position.x = 123.457f;  // six significant digits
  expectSameNodes(editor.nodes, expected);
  EXPECT_FALSE(editor.darkTheme);
  ASSERT_EQ(editor.connections.size(), 1u);
  EXPECT_EQ(editor.connections[0].direction, WireDirection::Inbound);
}

TEST_F(ProjectFile, AValueTypedBeyondTheFloatRangeStillSavesAReadableFile) {
  // Typing 1e39 into a drag field leaves infinity in the node.
  editor.addNode(NodeType::PC, 0, 0);
  editor.addNode(NodeType::Latency, 0, 0);
  editor.addNode(NodeType::Router, 0, 0);
  editor.createConnection(1, 2, WireDirection::Outbound);
  editor.createConnection(2, 3, WireDirection::Outbound);
  Node& latency = editor.nodes[1];
  latency.delayMs = std::numeric_limits<float>::infinity();
  latency.jitterMs = -std::numeric_limits<float>::infinity();
  latency.limitKBps = std::numeric_limits<float>::quiet_NaN();
  const ActiveEffects before = editor.resolveEffects();
  const std::string path = folder.file("huge.lwv");
  editor.saveProject(path);
  EXPECT_NE(readBytes(path).find("NODE 2 5 \"Latency 2\" 0 0 3.40282e+38 -3.40282e+38 10 0 "), std::string::npos)
      << readBytes(path);

  Editor fresh;
  ASSERT_TRUE(fresh.loadProject(path)) << fresh.eventLog.back().text;
  EXPECT_EQ(fresh.resolveEffects(), before);
  EXPECT_EQ(before.outbound.latencyMs, 30000u);
}

TEST_F(ProjectFile, AcceptedVariants) {
  struct Case {
    const char* what;
    std::string text;
    size_t nodes;
    bool snap;
    bool dark;  // the editor starts in the light theme
    int32_t nextNode, nextWire;
  };
  const Case cases[] = {
      {"header only", "LINKWEAVE 3\n", 0, false, false, 1, 1},
      {"lower-case magic, blank first line, CRLF", "\r\nlinkweave 3\r\nVIEW 1 1\r\n", 0, true, true, 1, 1},
      {"mixed-case magic, record across lines, tabs", "LinkWeave\t3 NODE 4 1\n\"A\"\n1 2 3 4 5 6 7 8 9 10 1", 1, false,
       false, 5, 1},
      {"ids 4, 9, 2", "LINKWEAVE 3\nNODE 4 1 a 0 0 0 0 0 0 0 0 0 0 1\nNODE 9 1 b 0 0 0 0 0 0 0 0 0 0 1\n"
                      "NODE 2 1 c 0 0 0 0 0 0 0 0 0 0 1\nWIRE 7 4 9 1\n",
       3, false, false, 10, 8},
      {"negative id only", "LINKWEAVE 3\nNODE -3 1 a 0 0 0 0 0 0 0 0 0 0 1\nWIRE -2 -3 -3 0\n", 1, false, false, 1, 1},
      {"unknown records ignored", "LINKWEAVE 3\nCOMMENT NODE 1 1 \"x\nVIEW 1 0\nnode 5 5\n", 0, true, false, 1, 1},
      {"later VIEW wins", "LINKWEAVE 3\nVIEW 1 1\nVIEW 0 1\n", 0, false, true, 1, 1},
      {"version 2: VIEW keeps the theme, its second value is a skipped record",
       "LINKWEAVE 2\nVIEW 1 1 NODE 1 1 skipped 0 0 0 0 0 0 0 0 0 0 1\n", 0, true, false, 1, 1},
      {"top of the id range", "LINKWEAVE 3\nNODE 2147483647 1 a 0 0 0 0 0 0 0 0 0 0 1\n", 1, false, false, 2147483647,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Editor fresh;
    fresh.darkTheme = false;
    ASSERT_TRUE(fresh.loadProject(folder.write("variant.lwv", c.text))) << fresh.eventLog.back().text;
    EXPECT_EQ(fresh.nodes.size(), c.nodes);
    EXPECT_EQ(fresh.snapToGrid, c.snap);
    EXPECT_EQ(fresh.darkTheme, c.dark);
    EXPECT_EQ(fresh.nextNodeId, c.nextNode);
    EXPECT_EQ(fresh.nextConnectionId, c.nextWire);
  }
}

TEST_F(ProjectFile, ReadsVersionOneAndTwoRecords) {
  const std::string v1 = "LINKWEAVE 1\nVIEW 1\nNODE 1 5 \"Latency 1\" 10 20 200 15 30 500 0\nWIRE 1 1 1 1\n";
  ASSERT_TRUE(editor.loadProject(folder.write("v1.lwv", v1)));
  ASSERT_EQ(editor.nodes.size(), 1u);
  const Node& node = editor.nodes[0];
  EXPECT_EQ(node.delayMs, 200.0f);
  EXPECT_EQ(node.jitterMs, 15.0f);
  EXPECT_EQ(node.dropPercent, 30.0f);
  EXPECT_EQ(node.limitKBps, 500.0f);
  EXPECT_FALSE(node.enabled);
  EXPECT_EQ(node.holdMs, 5000.0f);
  EXPECT_EQ(node.burstMs, 250.0f);
  EXPECT_EQ(node.duplicatePercent, 5.0f);
  EXPECT_EQ(node.dropEveryNth, 10);
  EXPECT_EQ(node.size.x, 110.0f);
  EXPECT_TRUE(editor.snapToGrid);
  EXPECT_TRUE(editor.darkTheme);

  const std::string v2 = "LINKWEAVE 2\nVIEW 0\nNODE 3 12 n 1 2 3 4 5 6 7 8 9 -10 7\n";
  ASSERT_TRUE(editor.loadProject(folder.write("v2.lwv", v2)));
  ASSERT_EQ(editor.nodes.size(), 1u);
  EXPECT_EQ(editor.nodes[0].holdMs, 7.0f);
  EXPECT_EQ(editor.nodes[0].dropEveryNth, -10);
  EXPECT_TRUE(editor.nodes[0].enabled);  // any non-zero value
  EXPECT_FALSE(editor.snapToGrid);

  // Whatever was read, the next save is version 3.
  editor.saveProject(folder.file("v2.lwv"));
  EXPECT_EQ(readBytes(folder.file("v2.lwv")),
            "LINKWEAVE 3\nVIEW 0 1\nNODE 3 12 \"n\" 1 2 3 4 5 6 7 8 9 -10 1\n");
}

std::string utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

TEST_F(ProjectFile, ByteOrderMarksAndUtf16) {
  const std::string name = "Caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80";  // é, a check mark, an emoji
  const std::u16string name16 = u"Caf\u00e9 \u2713 \U0001F600";
  const std::string plain = "LINKWEAVE 3\nNODE 1 20 \"" + name + "\" 0 0 0 0 0 0 0 0 0 0 1\n";
  const std::u16string plain16 = u"LINKWEAVE 3\r\nNODE 1 20 \"" + name16 + u"\" 0 0 0 0 0 0 0 0 0 0 1\r\n";
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"UTF-8", plain},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + plain},
      {"UTF-16 LE", utf16(plain16, false)},
      {"UTF-16 BE", utf16(plain16, true)},
      {"UTF-16 LE with a stray last byte", utf16(plain16, false) + "\x41"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Editor fresh;
    const std::string path = folder.write("enc.lwv", c.bytes);
    ASSERT_TRUE(fresh.loadProject(path)) << fresh.eventLog.back().text;
    ASSERT_EQ(fresh.nodes.size(), 1u);
    EXPECT_EQ(fresh.nodes[0].name, name);
    fresh.saveProject(path);  // written back as UTF-8 without a mark
    EXPECT_EQ(readBytes(path).substr(0, 12), "LINKWEAVE 3\n");
    EXPECT_NE(readBytes(path).find("\"" + name + "\""), std::string::npos);
  }
}

TEST_F(ProjectFile, RefusedFilesLeaveEverythingAsItWas) {
  const std::string longLine = "LINKWEAVE 9 " + std::string(100, 'x');
  // A four-byte character across the 80th byte goes whole or not at all;
  // bytes that are no UTF-8 at all still show their first 80.
  const std::string splitLine = "LINKWEAVE 9 " + std::string(66, 'x') + "\xF0\x9F\x98\x80 tail";
  const std::string binaryLine = "LINKWEAVE 9 " + std::string(100, '\x80');
  struct Case {
    const char* file;
    std::string bytes;  // written unless the file is "missing" or "folder"
    std::string message;  // after "Load failed: "; {path} and {name} are filled in
  };
  const Case cases[] = {
      {"missing", "", "could not open {path}"},
      {"folder", "", "could not open {path}"},
      {"empty.lwv", "", "project is empty: {path}"},
      {"words.lwv", "hello world", "missing RIVULO header in {path}"},
      {"bom-only.lwv", "\xFF\xFE", "missing RIVULO header in {path}"},
      {"bom-odd.lwv", "\xFE\xFF\x41", "missing RIVULO header in {path}"},
      {"v4.lwv", "LINKWEAVE 4\r\nVIEW 1 1\n", "unsupported project format: {name} (header: LINKWEAVE 4)"},
      {"v0.lwv", "LINKWEAVE 0", "unsupported project format: {name} (header: LINKWEAVE 0)"},
      {"magic.lwv", "\nOTHER 3\n", "unsupported project format: {name} (header: <empty>)"},
      {"long.lwv", longLine, "unsupported project format: {name} (header: " + longLine.substr(0, 80) + ")"},
      {"split.lwv", splitLine, "unsupported project format: {name} (header: " + splitLine.substr(0, 78) + ")"},
      {"binary.lwv", binaryLine, "unsupported project format: {name} (header: " + binaryLine.substr(0, 80) + ")"},
      {"node-short.lwv", "LINKWEAVE 3\nNODE 1 1 \"a\" 0 0 0 0 0 0 0 0 0 0\n", "damaged NODE entry in {name}"},
      {"node-word.lwv", "LINKWEAVE 3\nNODE 1 1 a 0 zero 0 0 0 0 0 0 0 0 1\n", "damaged NODE entry in {name}"},
      {"node-quote.lwv", "LINKWEAVE 3\nNODE 1 1 \"open 0 0 0 0 0 0 0 0 0 0 1\n", "damaged NODE entry in {name}"},
      {"node-huge.lwv", "LINKWEAVE 3\nNODE 99999999999 1 a 0 0 0 0 0 0 0 0 0 0 1\n", "damaged NODE entry in {name}"},
      {"node-float.lwv", "LINKWEAVE 3\nNODE 1 1 a 1e39 0 0 0 0 0 0 0 0 0 1\n", "damaged NODE entry in {name}"},
      {"type21.lwv", "LINKWEAVE 3\nNODE 1 21 a 0 0 0 0 0 0 0 0 0 0 1\n", "unknown node type 21 in {name}"},
      {"type-1.lwv", "LINKWEAVE 3\nNODE 1 -1 a 0 0 0 0 0 0 0 0 0 0 1\n", "unknown node type -1 in {name}"},
      {"view.lwv", "LINKWEAVE 3\nVIEW x\n", "damaged VIEW entry in {name}"},
      {"view3.lwv", "LINKWEAVE 3\nVIEW 1", "damaged VIEW entry in {name}"},
      {"wire.lwv", "LINKWEAVE 3\nWIRE 1 1 2\n", "damaged WIRE entry in {name}"},
      {"dir2.lwv", "LINKWEAVE 3\nWIRE 1 1 2 2\n", "invalid wire direction in {name}"},
      {"dir-1.lwv", "LINKWEAVE 3\nWIRE 1 1 2 -1\n", "invalid wire direction in {name}"},
      {"late.lwv", std::string(kWorkedExample) + "NODE 4 1 a 0 0\n", "damaged NODE entry in {name}"},
  };

  buildWorkedExample();
  editor.darkTheme = false;
  editor.selectedNodeId = 2;
  editor.undo();  // one step on each stack
  const EditSnapshot graph = editor.captureSnapshot();
  const size_t undoSteps = editor.undoStack.size();
  fs::create_directory(folder.path() / "folder");

  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = folder.file(c.file);
    if (c.file != std::string("missing") && c.file != std::string("folder")) folder.write(c.file, c.bytes);
    std::string expected = "Load failed: " + c.message;
    if (size_t at = expected.find("{path}"); at != std::string::npos) expected.replace(at, 6, path);
    if (size_t at = expected.find("{name}"); at != std::string::npos) expected.replace(at, 6, c.file);

    editor.eventLog.clear();
    EXPECT_FALSE(editor.loadProject(path));
    EXPECT_EQ(log(), std::vector<std::string>{expected});
    expectSameNodes(editor.nodes, graph.nodes);
    EXPECT_EQ(editor.connections.size(), graph.connections.size());
    EXPECT_EQ(editor.nextNodeId, graph.nextNodeId);
    EXPECT_EQ(editor.snapToGrid, graph.snapToGrid);
    EXPECT_FALSE(editor.darkTheme);
    EXPECT_EQ(editor.undoStack.size(), undoSteps);
    EXPECT_EQ(editor.redoStack.size(), 1u);
    EXPECT_STREQ(editor.projectPath, "projects/last_project.lwv");
  }
}

TEST_F(ProjectFile, ASuccessfulLoadReplacesStateInOrder) {
  const std::string path = folder.write("example.lwv", kWorkedExample);
  editor.addNode(NodeType::PC, 0, 0);
  editor.addNode(NodeType::PC, 0, 0);
  editor.undo();
  editor.beginWire(1);
  editor.pendingDeleteNodeId = 1;
  editor.dragUndoArmed = true;
  editor.propertyEditArmed = true;
  editor.simulationActive = true;
  editor.eventLog.clear();

  ASSERT_TRUE(editor.loadProject(path));
  EXPECT_EQ(log(), (std::vector<std::string>{"Simulation stopped. Timer paused and held packets were flushed.",
                                             "Loaded project from " + path}));
  EXPECT_FALSE(editor.simulationActive);
  EXPECT_TRUE(editor.undoStack.empty());
  EXPECT_TRUE(editor.redoStack.empty());
  EXPECT_EQ(editor.selectedNodeId, -1);
  EXPECT_EQ(editor.wireStartNodeId, -1);
  EXPECT_EQ(editor.pendingDeleteNodeId, -1);
  EXPECT_FALSE(editor.dragUndoArmed);
  EXPECT_FALSE(editor.propertyEditArmed);
  EXPECT_STREQ(editor.projectPath, path.c_str());
  editor.undo();  // a fresh history: nothing to undo
  EXPECT_EQ(editor.nodes.size(), 3u);
}

TEST_F(ProjectFile, AFailedSaveKeepsTheOldFile) {
  const std::string good = folder.write("good.lwv", kWorkedExample);
  fs::create_directory(folder.path() / "target-is-folder.lwv");
  folder.write("plain-file", "not a folder");
  editor.addNode(NodeType::Cloud, 0, 0);

  struct Case {
    const char* what;
    std::string path;
    std::string messageStart;
  };
  std::vector<Case> cases = {
      {"target is a folder", folder.file("target-is-folder.lwv"), "Save failed: "},
      {"parent is a file", folder.file("plain-file/x.lwv"), "Save failed: "},
      {"no file name", folder.file("sub/"), "Save failed: could not open " + folder.file("sub/")},
  };
  const bool root = geteuid() == 0;
  if (!root) {
    fs::create_directory(folder.path() / "locked");
    folder.write("locked/old.lwv", kWorkedExample);
    fs::permissions(folder.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    cases.push_back({"read-only folder", folder.file("locked/old.lwv"),
                     "Save failed: could not open " + folder.file("locked/old.lwv")});
    folder.write("read-only.lwv", kWorkedExample);
    fs::permissions(folder.path() / "read-only.lwv", fs::perms::owner_read);
    cases.push_back({"read-only file", folder.file("read-only.lwv"),
                     "Save failed: could not open " + folder.file("read-only.lwv")});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    editor.eventLog.clear();
    editor.saveProject(c.path);
    ASSERT_EQ(editor.eventLog.size(), 1u);
    EXPECT_EQ(lastLog().rfind(c.messageStart, 0), 0u) << lastLog();
    EXPECT_GT(lastLog().size(), std::string("Save failed: ").size());
    EXPECT_STREQ(editor.projectPath, "projects/last_project.lwv");
  }
  EXPECT_TRUE(fs::is_directory(folder.path() / "target-is-folder.lwv"));
  EXPECT_TRUE(fs::is_empty(folder.path() / "target-is-folder.lwv"));
  EXPECT_EQ(readBytes(folder.file("plain-file")), "not a folder");
  if (!root) {
    EXPECT_EQ(readBytes(folder.file("locked/old.lwv")), kWorkedExample);
    fs::permissions(folder.path() / "locked", fs::perms::owner_all);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path() / "locked"), fs::directory_iterator()), 1);
    fs::remove_all(folder.path() / "locked");
    EXPECT_EQ(readBytes(folder.file("read-only.lwv")), kWorkedExample);
    fs::remove(folder.path() / "read-only.lwv");
  } else {
    std::cout << "[ INFO ] running as root: the read-only folder case is left out\n";
  }

  // A good save replaces the old content and leaves only the project behind.
  editor.saveProject(good);
  EXPECT_EQ(lastLog(), "Saved project to " + good);
  EXPECT_NE(readBytes(good).find("\"Cloud 1\""), std::string::npos);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.path())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"good.lwv", "plain-file", "sub", "target-is-folder.lwv"}));
}

TEST_F(ProjectFile, SavingThroughALinkRewritesTheLinkedFile) {
  fs::create_directory(folder.path() / "real");
  const std::string real = folder.write("real/p.lwv", kWorkedExample);
  fs::create_symlink(real, folder.path() / "link.lwv");
  editor.addNode(NodeType::Phone, 0, 0);
  editor.saveProject(folder.file("link.lwv"));
  EXPECT_EQ(lastLog(), "Saved project to " + folder.file("link.lwv"));
  EXPECT_TRUE(fs::is_symlink(folder.path() / "link.lwv"));
  EXPECT_NE(readBytes(real).find("\"Phone 1\""), std::string::npos);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path() / "real"), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace rivulo
