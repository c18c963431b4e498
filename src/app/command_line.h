// The player's command line: --play, --help, --version, a voice file, and
// --pack RECORDING OUTPUT. Anything else is refused with a usage line, so
// that a mistyped option does not silently open the window.
#pragma once

#include <optional>

#include "app/pack_command.h"
#include "app/player_app.h"

namespace app {

struct CommandLine {
  PlayerOptions options;
  // --pack: write a player that carries RECORDING to OUTPUT, and end.
  std::optional<PackPaths> pack;
  // Set when the player is to end at once: 0 after --help or --version, 2 after a
  // refused command line.
  std::optional<int> exitStatus;
};

// Writes the usage to stdout for --help, to stderr when refusing.
CommandLine ParseCommandLine(int argc, char* argv[]);

}  // namespace app
