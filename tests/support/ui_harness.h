#pragma once
// Runs frames of the real Editor::drawFrame with a GUI context that has a
// built font atlas and no renderer, and feeds it mouse, key and text input.
// Input is spread over frames the way a person produces it: move, then
// press, then release, each followed by a frame.
#include <imgui.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/editor.h"
#include "ui/gui_item_hooks.h"

namespace rivulo::test {

class UiHarness {
 public:
  explicit UiHarness(ImVec2 displaySize = ImVec2(1600, 900), EditorServices services = {});
  ~UiHarness();
  UiHarness(const UiHarness&) = delete;
  UiHarness& operator=(const UiHarness&) = delete;

  Editor& editor() { return *editor_; }

  // Runs inside every frame before drawFrame, e.g. to hold a drag-and-drop
  // source that no panel of the editor provides.
  std::function<void()> beforeDraw;

  // Runs `count` frames of drawFrame, each advancing the clock by `dt`.
  void frame(int count = 1, float dt = 1.0f / 60.0f);
  // Runs inside every frame after drawFrame, for widgets a test places over
  // the editor.
  std::function<void()> afterDraw;

  void setDisplaySize(ImVec2 size);
  void moveMouse(ImVec2 pos);
  void pressMouse(int button = 0);
  void releaseMouse(int button = 0);
  void click(ImVec2 pos, int button = 0);
  void doubleClick(ImVec2 pos);
  // Presses at `from`, moves to `to` in `steps` frames, releases.
  void drag(ImVec2 from, ImVec2 to, int steps = 8);
  void key(ImGuiKey key, bool down);
  void tapKey(ImGuiKey key, ImGuiKey modifier = ImGuiKey_None, ImGuiKey modifier2 = ImGuiKey_None);
  void typeText(const std::string& text);

  // Screen rectangle of the item last drawn with this label ("Start",
  // "##Canvas"); false when no such item was drawn in the last frame.
  bool itemRect(const std::string& label, ImVec2& min, ImVec2& max) const;
  // Centre of that item; the test fails if there is none.
  ImVec2 itemCenter(const std::string& label) const;
  bool hasItem(const std::string& label) const;

  // Number of log lines whose text equals / contains `text`.
  int logCount(const std::string& text) const;
  bool logContains(const std::string& fragment) const;
  std::string lastLog() const;

 private:
  class Recorder final : public GuiItemRecorder {
   public:
    void itemAdded(ImGuiID id, const ImRect& rect) override { current[id] = rect; }
    void itemInfo(ImGuiID id, const char* label, ImGuiItemStatusFlags) override {
      if (label != nullptr) currentLabels[label] = id;
    }
    void endFrame() {
      rects.swap(current);
      labels.swap(currentLabels);
      current.clear();
      currentLabels.clear();
    }
    std::map<ImGuiID, ImRect> rects, current;
    std::map<std::string, ImGuiID> labels, currentLabels;
  };

  Recorder recorder_;
  ImGuiContext* context_ = nullptr;
  std::unique_ptr<Editor> editor_;
};

}  // namespace rivulo::test
