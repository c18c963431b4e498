#include "playback/auto_reset_event.h"

namespace playback {

void AutoResetEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  signalled_changed_.notify_one();
}

void AutoResetEvent::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

void AutoResetEvent::Wait() {
  std::unique_lock lock(mutex_);
  signalled_changed_.wait(lock, [this] { return signalled_; });
  signalled_ = false;
}

}  // namespace playback
