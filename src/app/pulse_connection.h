// One connection to the sound server the user's environment names (the
// default one, or PULSE_SERVER), on a libpulse main loop thread of its own.
// A connection is made afresh for every use and never reconnects: when the
// server goes away the connection fails for good, and the next one finds
// the server that is there then.
//
// Every wait is bounded by a deadline, so that a server that answers slowly
// or not at all holds the caller up for no longer than that.
#pragma once

#include <pulse/pulseaudio.h>

#include <functional>
#include <string>

namespace app {

class PulseConnection {
 public:
  // Starts the main loop thread; nothing is connected yet.
  explicit PulseConnection(const std::string& clientName);
  // Disconnects and ends the thread. The caller must not hold the lock.
  ~PulseConnection();
  PulseConnection(const PulseConnection&) = delete;
  PulseConnection& operator=(const PulseConnection&) = delete;

  // The main loop's lock: libpulse's callbacks run with it held, and every
  // call into the connection, or into what lives on its thread, needs it.
  class Lock {
   public:
    explicit Lock(PulseConnection& connection);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  // The rest: with the lock held.

  // Whether the connection became ready before `deadline`.
  bool Connect(pa_usec_t deadline);
  // Whether the server has a default sink to play on.
  bool HasDefaultSink(pa_usec_t deadline);
  // Waits until `done` holds, the connection fails or `deadline` passes;
  // returns done(). Whatever `done` looks at must wake the waiter (Wake)
  // when it changes.
  bool WaitUntil(const std::function<bool()>& done, pa_usec_t deadline);
  // Wakes WaitUntil; for libpulse's callbacks.
  void Wake();

  // Called on the main loop thread when a ready connection fails.
  void OnFailure(std::function<void()> handler) { onFailure_ = std::move(handler); }
  bool failed() const;
  pa_context* context() const { return context_; }
  pa_mainloop_api* api() const { return pa_threaded_mainloop_get_api(loop_); }

  // The deadline `milliseconds` from now, on libpulse's clock.
  static pa_usec_t DeadlineIn(int milliseconds);

 private:
  static void StateChanged(pa_context* context, void* self);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  bool wasReady_ = false;
  std::function<void()> onFailure_;
};

}  // namespace app
