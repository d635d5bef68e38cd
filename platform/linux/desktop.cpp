#include "platform/linux/desktop.h"

#include <GL/gl.h>
#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl2.h>
#include <stb_image_write.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/editor.h"
#include "app/window_geometry.h"
#include "platform/linux/linux_services.h"

namespace rivulo {

namespace {

constexpr const char* kWindowTitle = "Rivulo - Visual Network Editor";
// A sans-serif face with the metrics the layout's fixed widths were made for;
// the first one present is used, else the GUI library's own font.
constexpr const char* kFontPaths[] = {
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
};
constexpr float kClearColor[4] = {0.01f, 0.018f, 0.032f, 1.0f};

// Window operations of the top bar, on an SDL window.
class SdlWindowActions final : public WindowActions {
 public:
  explicit SdlWindowActions(SDL_Window* window) : window_(window) {}

  bool isMinimized() const override {
    return (SDL_GetWindowFlags(window_) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0;
  }
  bool isMaximized() const override { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_MAXIMIZED) != 0; }
  bool hasInputFocus() const override { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0; }
  void minimize() override { SDL_MinimizeWindow(window_); }
  void maximize() override { SDL_MaximizeWindow(window_); }
  void restore() override { SDL_RestoreWindow(window_); }
  void requestClose() override {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
  }
  ScreenPoint globalMousePosition() const override {
    ScreenPoint p;
    SDL_GetGlobalMouseState(&p.x, &p.y);
    return p;
  }
  bool leftButtonDown() const override { return (SDL_GetGlobalMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0; }
  ScreenRect windowRect() const override {
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &w, &h);
    return ScreenRect{x, y, x + w, y + h};
  }
  void moveWindow(int x, int y) override { SDL_SetWindowPosition(window_, x, y); }

 private:
  SDL_Window* window_;
};

SDL_HitTestResult SDLCALL hitTest(SDL_Window* window, const SDL_Point* area, void*) {
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  bool maximized = (SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED) != 0;
  switch (hitTestBorders(maximized, ScreenRect{0, 0, w, h}, ScreenPoint{area->x, area->y})) {
    case BorderHit::TopLeft: return SDL_HITTEST_RESIZE_TOPLEFT;
    case BorderHit::TopRight: return SDL_HITTEST_RESIZE_TOPRIGHT;
    case BorderHit::BottomLeft: return SDL_HITTEST_RESIZE_BOTTOMLEFT;
    case BorderHit::BottomRight: return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
    case BorderHit::Left: return SDL_HITTEST_RESIZE_LEFT;
    case BorderHit::Right: return SDL_HITTEST_RESIZE_RIGHT;
    case BorderHit::Top: return SDL_HITTEST_RESIZE_TOP;
    case BorderHit::Bottom: return SDL_HITTEST_RESIZE_BOTTOM;
    case BorderHit::Client: break;
  }
  return SDL_HITTEST_NORMAL;
}

// The usable area of the display under the mouse.
ScreenRect workAreaUnderMouse() {
  int mx = 0, my = 0;
  SDL_GetGlobalMouseState(&mx, &my);
  int displays = SDL_GetNumVideoDisplays();
  int chosen = 0;
  for (int i = 0; i < displays; ++i) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(i, &bounds) == 0 && mx >= bounds.x && mx < bounds.x + bounds.w && my >= bounds.y &&
        my < bounds.y + bounds.h) {
      chosen = i;
      break;
    }
  }
  SDL_Rect usable{0, 0, 1500, 900};
  if (SDL_GetDisplayUsableBounds(chosen, &usable) != 0) SDL_GetDisplayBounds(chosen, &usable);
  return ScreenRect{usable.x, usable.y, usable.x + usable.w, usable.y + usable.h};
}

// The frame interval of the display, for pacing frames whose swap does not wait.
std::chrono::nanoseconds displayInterval(SDL_Window* window) {
  SDL_DisplayMode mode;
  int index = SDL_GetWindowDisplayIndex(window);
  int hz = (index >= 0 && SDL_GetCurrentDisplayMode(index, &mode) == 0 && mode.refresh_rate > 0) ? mode.refresh_rate
                                                                                                 : 60;
  return std::chrono::nanoseconds(1'000'000'000LL / hz);
}

bool writeScreenshot(const std::string& path, int width, int height) {
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  // GL rows run bottom-up; the picture's run top-down, and it is opaque.
  std::vector<unsigned char> flipped(pixels.size());
  const size_t stride = static_cast<size_t>(width) * 4;
  for (int row = 0; row < height; ++row) {
    std::copy_n(&pixels[(height - 1 - row) * stride], stride, &flipped[row * stride]);
  }
  for (size_t i = 3; i < flipped.size(); i += 4) flipped[i] = 255;
  return stbi_write_png(path.c_str(), width, height, 4, flipped.data(), static_cast<int>(stride)) != 0;
}

struct SdlSession {
  bool ok = false;
  // Game controllers are brought up by the hotkey source, which picks how SDL
  // finds them first.
  SdlSession() { ok = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) == 0; }
  ~SdlSession() { SDL_Quit(); }
};

struct WindowDeleter {
  void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};

struct GlContext {
  SDL_GLContext context = nullptr;
  ~GlContext() {
    if (context != nullptr) SDL_GL_DeleteContext(context);
  }
};

}  // namespace

int runDesktop(const CommandLine& cl, const std::function<void(Editor&)>& afterStartup) {
  setenv("SDL_VIDEO_X11_WMCLASS", "LinkweaveWindow", 0);
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SdlSession sdl;
  if (!sdl.ok) {
    std::fprintf(stderr, "rivulo: cannot open a window: %s\n", SDL_GetError());
    return 1;
  }

  const ScreenRect work = workAreaUnderMouse();
  const WindowGeometry geometry = initialWindowGeometry(work);

  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);

  const bool offscreen = !cl.screenshotPath.empty();
  // Created hidden and shown once the renderer exists: a machine without a
  // usable OpenGL never flashes an empty window.
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI |
                 SDL_WINDOW_HIDDEN;
  std::unique_ptr<SDL_Window, WindowDeleter> window(
      SDL_CreateWindow(kWindowTitle, geometry.x, geometry.y, geometry.width, geometry.height, flags));
  if (!window) {
    std::fprintf(stderr, "rivulo: cannot create the window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_SetWindowMinimumSize(window.get(), kMinWindowWidth, kMinWindowHeight);
  SDL_SetWindowHitTest(window.get(), hitTest, nullptr);

  GlContext gl;
  gl.context = SDL_GL_CreateContext(window.get());
  if (gl.context == nullptr) {
    std::fprintf(stderr, "rivulo: cannot create an OpenGL 3.3 context: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_MakeCurrent(window.get(), gl.context);
  SDL_GL_SetSwapInterval(1);
  SDL_ShowWindow(window.get());

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
  io.IniFilename = "linkweave_imgui.ini";

  const float uiScale = uiScaleFor(work);
  for (const char* fontPath : kFontPaths) {
    if (std::filesystem::exists(fontPath)) {
      io.Fonts->AddFontFromFileTTF(fontPath, 17.0f * uiScale);
      break;
    }
  }

  ImGui_ImplSDL2_InitForOpenGL(window.get(), gl.context);
  ImGui_ImplOpenGL3_Init("#version 330");

  SdlWindowActions actions(window.get());
  int exitCode = 0;
  std::optional<Editor> editorSlot;
  EditorServices services = makeLinuxServices(&actions);
  services.pingTarget = cl.pingTarget;
  editorSlot.emplace(std::move(services));
  Editor& editor = *editorSlot;
  if (afterStartup) afterStartup(editor);
  {

    const auto interval = displayInterval(window.get());
    auto lastFrame = std::chrono::steady_clock::now();
    int framesDrawn = 0;
    bool done = false;
    while (!done) {
      SDL_Event event;
      while (SDL_PollEvent(&event)) {
        ImGui_ImplSDL2_ProcessEvent(&event);
        if (event.type == SDL_QUIT) done = true;
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE &&
            event.window.windowID == SDL_GetWindowID(window.get())) {
          done = true;
        }
      }
      if (done) break;

      ImGui_ImplOpenGL3_NewFrame();
      ImGui_ImplSDL2_NewFrame();
      ImGui::NewFrame();
      editor.drawFrame();
      ImGui::Render();

      int width = 0, height = 0;
      SDL_GL_GetDrawableSize(window.get(), &width, &height);
      glViewport(0, 0, width, height);
      glClearColor(kClearColor[0], kClearColor[1], kClearColor[2], kClearColor[3]);
      glClear(GL_COLOR_BUFFER_BIT);
      ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());

      ++framesDrawn;
      if (offscreen && framesDrawn >= cl.frames) {
        if (!writeScreenshot(cl.screenshotPath, width, height)) {
          std::fprintf(stderr, "rivulo: cannot write %s\n", cl.screenshotPath.c_str());
          exitCode = 1;
        }
        done = true;
      }
      SDL_GL_SwapWindow(window.get());
      if (editor.quitRequested()) done = true;

      // Where the swap does not wait for the display (a hidden window, a
      // software renderer), wait here instead of spinning a core.
      const auto now = std::chrono::steady_clock::now();
      const auto spent = now - lastFrame;
      if (spent < interval) std::this_thread::sleep_for(interval - spent);
      lastFrame = std::chrono::steady_clock::now();
    }

  }
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  SDL_GL_DeleteContext(gl.context);
  gl.context = nullptr;
  window.reset();
  // The editor outlives the GUI context and the window; its destructor stops
  // the engine (flushing held packets) and the monitor without the GUI.
  editorSlot.reset();
  return exitCode;
}

}  // namespace rivulo
