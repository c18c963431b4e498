// The Qt side of the sound tests: the application object that main() makes
// (on the offscreen platform, no display needed), and a way to let its event
// loop run, as the player's user-interface thread does, until something has
// happened.
#pragma once

#include <chrono>
#include <functional>

namespace sound_testing {

// Handles events until `done` holds or `timeout` has passed; returns done().
bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
void RunEventsFor(std::chrono::milliseconds duration);

}  // namespace sound_testing
