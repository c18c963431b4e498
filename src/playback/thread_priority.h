// Lets a time-critical thread run ahead of the rest of the process.
#pragma once

namespace playback {

// Raises the calling thread one step above the process's normal priority.
// Where the system does not allow it, the thread silently keeps its priority.
void RaiseCurrentThreadAboveNormal();

}  // namespace playback
