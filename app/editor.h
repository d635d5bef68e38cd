#pragma once
// The Editor owns the whole state of the running application: the graph, the
// event log, editing and view state, project bookkeeping, the packet engine
// and the network monitor. It is constructed once, after the GUI context, and
// destroyed after it; its destructor never calls the GUI library.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/event_log.h"
#include "app/hotkey_binding.h"
#include "app/window_actions.h"
#include "engine/divert_engine.h"
#include "engine/effect_config.h"
#include "graph/edit_snapshot.h"
#include "graph/node.h"
#include "monitor/monitor_probe.h"
#include "monitor/monitor_sample.h"
#include "project/project_path.h"
#include "ui/file_chooser.h"

struct ImDrawList;
struct ImVec2;

namespace rivulo {

struct WireCurve;

enum class EditMode : int32_t {
  Select = 0,
  WireOut = 1,
  WireIn = 2,
  Delete = 3,
};

// What the platform lends the editor. Every entry may be missing: the editor
// then behaves as on a machine without that facility (no driver, no monitor,
// no window actions, no hotkey devices).
struct EditorServices {
  PacketDriverFactory packetDrivers;
  MonitorProbeFactory monitorProbes;
  WindowActions* window = nullptr;
  HotkeySource* hotkeys = nullptr;
  // Keeps a platform hotkey source alive for as long as the services; the
  // platform sets `hotkeys` to it.
  std::shared_ptr<HotkeySource> ownedHotkeys;
  // Full path of the running program, or empty when unknown.
  std::string executablePath;
  // Folder for projects when the program's own folder cannot be written.
  std::string dataProjectsDirectory;
  // The first ping target instead of 8.8.8.8 (empty: the default), in force
  // before the monitor sends its first echo.
  std::string pingTarget;
  // Open the autoload project at start-up. Off unless the platform asks for
  // it, so that an editor built without services (tests, command-line tools)
  // never reads or writes the projects folder of the installed program.
  bool openAutoload = false;
};

// A wire's place among the wires joining the same two nodes.
struct LaneInfo {
  float offset = 0.0f;
  Vec2f canonicalNormal{0.0f, 1.0f};
};

class Editor {
 public:
  explicit Editor(EditorServices services = {});
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  // --- Frame (entry, window and frame loop) ---
  void drawFrame();
  void drawRightPanel();
  bool quitRequested() const { return quitRequested_; }

  // --- Event log ---
  void addLog(const std::string& text);
  void drawEventLog();
  void startMonitorThread();
  void stopMonitorThread();

  // --- Theme ---
  void applyStyle();

  // --- Top bar ---
  void drawTopBar();

  // --- Simulation control ---
  bool startSimulation();
  void stopSimulation();
  void toggleSimulation();
  double shownSimulationTime() const;

  // --- Global hotkey ---
  void pollHotkey();
  bool hotkeyIsDown(const HotkeyBinding& binding);
  void chooseHotkey(int index);
  // The top bar's HOTKEY combo, `width` pixels wide.
  void drawHotkeySelector(float width);

  // --- Graph editing ---
  void addNode(NodeType type, float x, float y);
  void deleteSelectedNode();
  void beginWire(int32_t nodeId);
  void finishWire(int32_t nodeId);
  void createConnection(int32_t fromId, int32_t toId, WireDirection direction);
  Node* findNode(int32_t id);
  const Node* findNode(int32_t id) const;
  std::string nodeValueLabel(const Node& node) const;
  void refreshNodeSize(Node& node) const;
  void duplicateSelectedNode();
  void clearCanvas();

  // --- Edit history ---
  EditSnapshot captureSnapshot() const;
  void restoreSnapshot(const EditSnapshot& snapshot);
  void pushSnapshot(const EditSnapshot& snapshot);
  void pushUndo();
  void undo();
  void redo();
  // Grouping of one widget gesture into one step, from the widget's
  // "activated" and "deactivated after edit" flags of this frame.
  void trackPropertyEdit(const EditSnapshot& before, bool activated, bool deactivatedAfterEdit);
  // The same, reading the flags of the GUI item drawn last.
  void trackPropertyEdit(const EditSnapshot& before);

  // --- Effect chain resolution ---
  EffectConfig resolveDirection(WireDirection direction) const;
  ActiveEffects resolveEffects() const;
  void syncEffects();

  // --- Properties panel ---
  void drawPropertiesPanel();

  // --- Canvas, cards, icons, wires, library ---
  void drawCanvas();
  void drawNodeCard(ImDrawList* drawList, Node& node);
  void drawNodeIcon(ImDrawList* drawList, const Node& node, const ImVec2& centre) const;
  Vec2f centerOf(const Node& node) const;
  Vec2f edgePoint(const Node& node, Vec2f toward) const;
  LaneInfo laneInfo(const Connection& wire) const;
  // The lane geometry of a wire; false when it is not drawn (an end names no
  // node, or the two cards' centres are less than 2 px apart). A frame that
  // draws every wire passes the lane offsets it worked out in one pass.
  bool wireCurve(const Connection& wire, WireCurve& curve, const float* laneOffset = nullptr) const;
  void drawWires(ImDrawList* drawList);
  void drawWireFlow(ImDrawList* drawList);
  void drawNodeLibrary();
  bool drawLibraryTile(const char* label, NodeType type, const char* description);

  // --- Effect settings and filter ---
  std::string composeFilter() const;

  // --- Network monitor, panel, graphs and activity ---
  void pollSample();
  void applyTarget();
  void resetStatistics();
  void monitorWorker();
  void drawNetworkPanel();
  void sampleActivity();
  void drawModuleActivity();
  void drawActivityBar(const char* label, bool armed, float rate, uint32_t colour);

  // --- Projects ---
  void saveProject(const std::string& path);
  bool loadProject(const std::string& path);
  std::string projectsDirectory() const;
  void refreshProjectList(bool force);
  std::string selectedProjectPath() const;
  void readAutoloadSetting();
  void writeAutoloadSetting();
  void renameSelectedProject(const std::string& newName);
  void openAutoloadProject();
  void drawProjectsPanel();
  // Opens the Save As (true) or Open (false) chooser; the choice is acted on
  // when the chooser closes, a later frame.
  void openProjectDialog(bool forSave);
  // Draws the open chooser, inside the root window, and acts on its choice.
  void drawProjectFileDialog();

  // ------------------------------------------------------------------
  // State, in declaration order (construction order).
  EditorServices services;

  std::vector<Node> nodes;                   // 1
  std::vector<Connection> connections;       // 2
  EventLog eventLog;                         // 3
  EditMode editMode = EditMode::Select;      // 4
  int32_t selectedNodeId = -1;               // 5
  int32_t wireStartNodeId = -1;              // 6
  int32_t nextNodeId = 1;                    // 7
  int32_t nextConnectionId = 1;              // 8
  int32_t pendingDeleteNodeId = -1;          // 9
  bool simulationActive = false;             // 10
  float flowClock = 0.0f;                    // 11
  int32_t hotkeyIndex = 0;                   // 12
  bool hotkeyWasDown = false;                // 13
  double simulationStartTime = 0.0;          // 14
  double simulationElapsed = 0.0;            // 15
  int32_t filterMode = 0;                    // 16
  char customFilter[128] = {};               // 17
  char toolboxSearch[64] = {};               // 18
  char projectPath[kProjectPathSize] = {};  // 19
  std::vector<std::string> projectFiles;     // 20
  int32_t selectedProjectIndex = -1;         // 20
  std::string autoloadProjectName;           // 21
  double lastProjectScanTime = -1000.0;      // 22
  char renameBuffer[128] = {};               // 23
  // The Save As / Open chooser while it is open.
  FileChooserState fileChooser;
  // Where the projects folder lives, decided on first use: next to the
  // program, or in the data folder when the program's folder is read-only.
  mutable std::string projectsFolderCache;
  mutable bool projectsInDataFolder = false;
  std::vector<EditSnapshot> undoStack;       // 24
  std::vector<EditSnapshot> redoStack;       // 24
  bool dragUndoArmed = false;                // 25
  EditSnapshot pendingPropertySnapshot;      // 26
  bool propertyEditArmed = false;            // 27
  Vec2f canvasOrigin{0.0f, 0.0f};            // 28
  Vec2f canvasSize{0.0f, 0.0f};              // 29
  bool canvasHovered = false;                // 30
  bool snapToGrid = false;                   // 31
  bool darkTheme = true;                     // 32
  Vec2f dragOffset{0.0f, 0.0f};              // 33

  // Top bar: the window drag that began on the grip.
  bool windowDragging = false;
  ScreenPoint windowDragMouseStart;
  ScreenRect windowDragRectStart;

  DivertEngine engine;                       // 34

  std::thread monitorThread;                 // 35
  std::atomic<bool> monitorStopRequested{false};  // 36
  std::atomic<uint32_t> pingTimeoutMs{1500};      // 37
  std::mutex monitorMutex;                   // 38
  std::string pingTarget = "8.8.8.8";        // 39
  MonitorSample sharedSample;                // 40

  // 41: monitor state of the UI thread.
  uint64_t lastSeenSequence = 0;
  char targetInput[128] = "8.8.8.8";
  bool countersInitialised = false;
  uint64_t baseIn = 0;
  uint64_t baseOut = 0;
  uint64_t lastIn = 0;
  uint64_t lastOut = 0;
  uint64_t totalIn = 0;
  uint64_t totalOut = 0;
  float rateIn = 0.0f;
  float rateOut = 0.0f;
  bool pingOnline = false;
  float pingMs = -1.0f;
  std::string resolvedAddress;
  std::string statusMessage;
  std::vector<float> pingHistory;
  std::vector<float> inRateHistory;
  std::vector<float> outRateHistory;
  std::vector<float> inTotalHistory;
  std::vector<float> outTotalHistory;

  // 42: rate sampling and module activity.
  double activitySampleTime = 0.0;
  std::array<uint64_t, 5> activityPrevCounts{};
  std::array<float, 5> activityRates{};
  float activityScale = 100.0f;

  // A right-hand tab to bring forward on the next frame (0 PROPERTIES,
  // 1 NETWORK, 2 PROJECTS), or -1.
  int requestedTab = -1;

 private:
  void drawLayout();
  bool quitRequested_ = false;

 public:
  // Asks the frame loop to end after this frame, as a window manager's close does.
  void requestQuit() { quitRequested_ = true; }
};

// The GUI clock: seconds since the GUI context was created, 0 without one.
double guiTime();

// "%02llu:%02llu:%02llu" of a shown time, truncated to `size`.
void formatSimulationTime(double seconds, char* buffer, size_t size);

// A-Z become a-z; every other byte stays.
std::string toLowerAscii(const std::string& text);

}  // namespace rivulo
