#pragma once
// The window operations the shell needs from the platform: the borderless
// window is moved, minimised, maximised and closed from our own top bar.
namespace rivulo {

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

class WindowActions {
 public:
  virtual ~WindowActions() = default;
  virtual bool isMinimized() const = 0;
  virtual bool isMaximized() const = 0;
  virtual bool hasInputFocus() const = 0;
  virtual void minimize() = 0;
  virtual void maximize() = 0;
  virtual void restore() = 0;
  virtual void requestClose() = 0;
  virtual ScreenPoint globalMousePosition() const = 0;
  virtual bool leftButtonDown() const = 0;
  virtual ScreenRect windowRect() const = 0;
  virtual void moveWindow(int x, int y) = 0;
};

}  // namespace rivulo
