// voiceplayer --pack RECORDING OUTPUT: a self-playing message without a
// build. OUTPUT becomes a copy of the running player's program image that
// carries RECORDING (see packed_recording.h), executable by whoever may read
// it, written under a temporary name and renamed into place once complete.
#pragma once

#include <string>

namespace app {

struct PackPaths {
  std::string recording;
  std::string output;
};

// Returns the exit status: 0 once OUTPUT is in place, 1 with a message on
// stderr after `program` when RECORDING does not open as a voice file or
// OUTPUT cannot be written (an existing OUTPUT then stays as it was).
int RunPackCommand(const char* program, const PackPaths& paths);

}  // namespace app
