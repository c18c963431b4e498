// The player's command line: --play, --help and a voice file. Anything else is refused
// with a usage line, so that a mistyped option does not silently open the
// window.
#pragma once

#include <optional>

#include "app/player_app.h"

namespace app {

struct CommandLine {
  PlayerOptions options;
  // Set when the player is to end at once: 0 after --help, 2 after a
  // refused command line.
  std::optional<int> exitStatus;
};

// Writes the usage to stdout for --help, to stderr when refusing.
CommandLine ParseCommandLine(int argc, char* argv[]);

}  // namespace app
