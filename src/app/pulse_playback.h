// The written buffers played through one stream on the server's default
// sink. The stream is fed from the connection's main loop thread whenever the
// server asks for data, straight out of the queue, so that a busy
// user-interface thread cannot starve it. The same thread follows what the
// server has played: a buffer counts as played, and is released, once the
// sink has played past its last sample.
//
// The playback is lost for good when the connection or the stream fails, or
// when it makes no progress for a while although it has something to play
// and is not paused; it then keeps the position it had reached.
//
// Every call needs the connection's lock; the object must be destroyed with
// the lock held too, before the connection.
#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <functional>

#include "app/pulse_connection.h"
#include "app/wave_queue.h"

namespace app {

enum class PlaybackLoss { kNone, kServerGone, kStopped };

class PulsePlayback {
 public:
  // `news` is called on the main loop thread when buffers have been released
  // or the playback was lost, once until TakeReleased is next called.
  PulsePlayback(PulseConnection& connection, const pa_sample_spec& spec,
                std::function<void()> news);
  ~PulsePlayback();
  PulsePlayback(const PulsePlayback&) = delete;
  PulsePlayback& operator=(const PulsePlayback&) = delete;

  // Makes the stream and waits until the server has accepted it; false when
  // it could not, or not before `deadline`.
  bool Start(pa_usec_t deadline);

  // Queues `length` bytes (whole frames) at `data` and plays them after the
  // ones before.
  void Push(const uint8_t* data, uint32_t length);
  void SetPaused(bool paused);
  // Gives back every buffer, played or not; the next one pushed starts a new
  // stream at position 0. Returns how many buffers were given back.
  int Drop();
  // The buffers released since the last call, in the order they were pushed.
  int TakeReleased();

  // Buffers not given back yet: queued, or released but not taken.
  size_t pending() const { return queue_.size() + static_cast<size_t>(released_); }
  bool Holds(const uint8_t* data) const { return queue_.Holds(data); }
  // Bytes played since the stream began.
  uint64_t played() const { return played_; }
  PlaybackLoss loss() const { return loss_; }
  bool lost() const { return loss_ != PlaybackLoss::kNone; }
  // The linear gain applied to the samples as they are sent, 0 to 1.
  void SetGain(float gain) { gain_ = gain; }

 private:
  bool MakeStream();
  void DropStream();
  void Feed();
  void TakeTiming(const pa_timing_info& timing);
  void Advance(uint64_t heard);
  void ReleasePlayed();
  void WatchProgress(pa_usec_t now);
  void RequestTiming();
  void ArmTick();
  void Tick();
  void Lose(PlaybackLoss loss);
  void TellNews();
  bool Busy() const { return !paused_ && !lost() && !queue_.empty(); }

  static void StreamStateChanged(pa_stream* stream, void* self);
  static void WriteRequested(pa_stream* stream, size_t bytes, void* self);
  static void TimingArrived(pa_stream* stream, int success, void* self);
  static void TickDue(pa_mainloop_api* api, pa_time_event* event, const timeval* tv, void* self);

  PulseConnection& connection_;
  const pa_sample_spec spec_;
  const size_t frameBytes_;
  std::function<void()> news_;
  WaveQueue queue_;
  pa_stream* stream_ = nullptr;
  pa_operation* timing_ = nullptr;  // the timing request under way
  pa_time_event* tick_ = nullptr;
  bool tickArmed_ = false;
  bool paused_ = false;
  float gain_ = 1.0f;
  uint64_t played_ = 0;
  // When everything sent has left the stream's buffer: the time by which the
  // sink has played it all.
  pa_usec_t drainedBy_ = PA_USEC_INVALID;
  uint64_t progressMark_ = 0;  // the position last seen to move
  pa_usec_t lastProgress_ = 0;
  int released_ = 0;
  bool newsTold_ = false;
  PlaybackLoss loss_ = PlaybackLoss::kNone;
};

}  // namespace app
