#include "platform/linux/gamepad_input.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>

#include "app/hotkey_table.h"
#include "platform/linux/linux_key_map.h"

namespace rivulo {

GamepadInput::GamepadInput() {
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  // Without a running udev daemon SDL cannot tell a pad from other devices
  // through udev; let it look at /dev/input itself then (containers, minimal
  // systems). Only possible before the joystick layer is up.
  if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0 && access("/run/udev/control", F_OK) != 0) {
    SDL_SetHint("SDL_JOYSTICK_DISABLE_UDEV", "1");
  }
  initialised_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
}

GamepadInput::~GamepadInput() {
  for (Controller& c : controllers_) SDL_GameControllerClose(c.handle);
  controllers_.clear();
  if (initialised_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void GamepadInput::refresh() {
  if (!initialised_) return;
  SDL_GameControllerUpdate();

  // The first four controllers in device order.
  std::vector<int32_t> wanted;
  const int count = SDL_NumJoysticks();
  for (int i = 0; i < count && wanted.size() < kMaxControllers; ++i) {
    if (SDL_IsGameController(i)) wanted.push_back(SDL_JoystickGetDeviceInstanceID(i));
  }
  // Close what left the first four or was unplugged.
  for (Controller& c : controllers_) {
    const bool keep = std::find(wanted.begin(), wanted.end(), c.instance) != wanted.end() &&
                      SDL_GameControllerGetAttached(c.handle);
    if (!keep) {
      SDL_GameControllerClose(c.handle);
      c.handle = nullptr;
    }
  }
  std::vector<Controller> next;
  for (int32_t instance : wanted) {
    auto open = std::find_if(controllers_.begin(), controllers_.end(),
                             [&](const Controller& c) { return c.instance == instance && c.handle != nullptr; });
    if (open != controllers_.end()) {
      next.push_back(*open);
      continue;
    }
    for (int i = 0; i < count; ++i) {
      if (SDL_JoystickGetDeviceInstanceID(i) != instance) continue;
      if (SDL_GameController* handle = SDL_GameControllerOpen(i)) next.push_back(Controller{instance, handle});
      break;
    }
  }
  controllers_ = std::move(next);
}

bool GamepadInput::buttonDown(uint32_t mask) {
  const int button = sdlButtonForPadMask(mask);
  if (button < 0) return false;
  refresh();
  for (const Controller& c : controllers_) {
    if (SDL_GameControllerGetButton(c.handle, static_cast<SDL_GameControllerButton>(button)) != 0) return true;
  }
  return false;
}

bool GamepadInput::triggerDown(bool left) {
  refresh();
  const SDL_GameControllerAxis axis = left ? SDL_CONTROLLER_AXIS_TRIGGERLEFT : SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
  for (const Controller& c : controllers_) {
    if (triggerPressed(triggerByteFromAxis(SDL_GameControllerGetAxis(c.handle, axis)))) return true;
  }
  return false;
}

}  // namespace rivulo
