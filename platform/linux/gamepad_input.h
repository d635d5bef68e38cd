#pragma once
// Game-pad buttons and triggers through SDL's game-controller layer, which
// knows the layouts of Xbox-style pads and reports them also while our window
// is in the background.
#include <cstddef>
#include <cstdint>
#include <vector>

struct _SDL_GameController;

namespace rivulo {

class GamepadInput {
 public:
  static constexpr size_t kMaxControllers = 4;

  GamepadInput();
  ~GamepadInput();
  GamepadInput(const GamepadInput&) = delete;
  GamepadInput& operator=(const GamepadInput&) = delete;

  bool available() const { return initialised_; }

  // Takes in the controllers' latest state and any that came or went.
  void refresh();

  // An XInput button mask (one bit) is held on any of the first four controllers.
  bool buttonDown(uint32_t mask);
  // A trigger is past the threshold on any of the first four controllers.
  bool triggerDown(bool left);

  size_t controllerCount() const { return controllers_.size(); }

 private:
  struct Controller {
    int32_t instance = -1;
    _SDL_GameController* handle = nullptr;
  };

  bool initialised_ = false;
  std::vector<Controller> controllers_;  // in device order, at most four
};

}  // namespace rivulo
