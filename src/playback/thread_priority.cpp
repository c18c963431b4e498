#include "playback/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace playback {

// A lower nice value for this thread alone (Linux applies a thread id given
// to setpriority to that thread only). Real-time scheduling would be far
// more than the decode thread needs, and an unprivileged user may not lower
// the nice value at all: that failure is expected and ignored.
void RaiseCurrentThreadAboveNormal() {
  const auto thread = static_cast<id_t>(gettid());
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, thread);
  if (nice == -1 && errno != 0) return;
  (void)setpriority(PRIO_PROCESS, thread, nice - 1);
}

}  // namespace playback
