// An event that stays signalled until one waiter passes it. Signals do not
// count: signalling an event that is already signalled changes nothing, so
// two signals before a wait let exactly one wait through.
#pragma once

#include <condition_variable>
#include <mutex>

namespace playback {

class AutoResetEvent {
 public:
  void Set();
  void Reset();
  // Returns once the event is signalled, and leaves it not signalled.
  void Wait();

 private:
  std::mutex mutex_;
  std::condition_variable signalled_changed_;
  bool signalled_ = false;
};

}  // namespace playback
