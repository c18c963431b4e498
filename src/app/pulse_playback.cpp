#include "app/pulse_playback.h"

#include <algorithm>
#include <span>

#include "app/sink_volume.h"

namespace app {

namespace {

// The whole way from the stream to the loudspeaker: short, so that a pause
// or a stop is heard at once; long enough to ride out a busy machine, as the
// stream is fed from libpulse's thread and not from the user interface.
constexpr pa_usec_t kTargetLatency = 150 * PA_USEC_PER_MSEC;
// How often the played position is brought up to date while playing.
constexpr pa_usec_t kTickInterval = 25 * PA_USEC_PER_MSEC;
// A stream that has something to play and plays nothing for this long has
// stopped for good: its server hangs, or its sink went away.
constexpr pa_usec_t kStallLimit = 2 * PA_USEC_PER_SEC;

// Of what the stream has handed to the sink, the bytes the sink has not
// played yet. While the stream is starved the sink's latency counts the
// silence played after the stream's last bytes too; that much is heard
// already.
uint64_t UnheardBytes(const pa_timing_info& timing, const pa_sample_spec& spec) {
  uint64_t unheard = pa_usec_to_bytes(timing.sink_usec, &spec);
  if (!timing.playing && timing.since_underrun > 0)
    unheard -= std::min(unheard, static_cast<uint64_t>(timing.since_underrun));
  return unheard;
}

}  // namespace

PulsePlayback::PulsePlayback(PulseConnection& connection, const pa_sample_spec& spec,
                             std::function<void()> news)
    : connection_(connection),
      spec_(spec),
      frameBytes_(pa_frame_size(&spec)),
      news_(std::move(news)) {
  tick_ = pa_context_rttime_new(connection_.context(), PA_USEC_INVALID, &TickDue, this);
  connection_.OnFailure([this] { Lose(PlaybackLoss::kServerGone); });
}

PulsePlayback::~PulsePlayback() {
  connection_.OnFailure(nullptr);
  DropStream();
  if (tick_ != nullptr) connection_.api()->time_free(tick_);
}

bool PulsePlayback::Start(pa_usec_t deadline) {
  if (!MakeStream()) return false;
  connection_.WaitUntil(
      [this] { return lost() || pa_stream_get_state(stream_) == PA_STREAM_READY; }, deadline);
  return !lost() && pa_stream_get_state(stream_) == PA_STREAM_READY;
}

// A stream of its own for each run of buffers, so that its byte count is
// the position from 0. Prebuffering is one frame: playback starts with the
// first data, and a stream that ran dry waits, without losing its place,
// for whatever comes next, however short.
bool PulsePlayback::MakeStream() {
  stream_ = pa_stream_new(connection_.context(), "Speech", &spec_, nullptr);
  if (stream_ == nullptr) {
    Lose(PlaybackLoss::kStopped);
    return false;
  }
  pa_stream_set_state_callback(stream_, &StreamStateChanged, this);
  pa_stream_set_write_callback(stream_, &WriteRequested, this);
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<uint32_t>(-1);
  attributes.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kTargetLatency, &spec_));
  attributes.prebuf = static_cast<uint32_t>(frameBytes_);
  attributes.minreq = static_cast<uint32_t>(-1);
  attributes.fragsize = static_cast<uint32_t>(-1);
  auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                              (paused_ ? PA_STREAM_START_CORKED : 0));
  if (pa_stream_connect_playback(stream_, nullptr, &attributes, flags, nullptr, nullptr) < 0) {
    Lose(PlaybackLoss::kStopped);
    return false;
  }
  return true;
}

void PulsePlayback::DropStream() {
  if (timing_ != nullptr) {
    pa_operation_cancel(timing_);
    pa_operation_unref(timing_);
    timing_ = nullptr;
  }
  if (stream_ == nullptr) return;
  pa_stream_set_state_callback(stream_, nullptr, nullptr);
  pa_stream_set_write_callback(stream_, nullptr, nullptr);
  pa_stream_disconnect(stream_);
  pa_stream_unref(stream_);
  stream_ = nullptr;
}

void PulsePlayback::Push(const uint8_t* data, uint32_t length) {
  if (lost()) return;
  // Progress is awaited from now on, not from whenever the stream went idle.
  if (played_ >= queue_.written()) lastProgress_ = pa_rtclock_now();
  queue_.Push(data, length);
  if (stream_ == nullptr)
    MakeStream();
  else
    Feed();
  ArmTick();
}

void PulsePlayback::SetPaused(bool paused) {
  paused_ = paused;
  if (stream_ != nullptr && pa_stream_get_state(stream_) == PA_STREAM_READY) {
    if (pa_operation* cork = pa_stream_cork(stream_, paused ? 1 : 0, nullptr, nullptr))
      pa_operation_unref(cork);
  }
  if (paused) return;
  lastProgress_ = pa_rtclock_now();
  ArmTick();
}

int PulsePlayback::Drop() {
  const int dropped = released_ + queue_.Clear();
  released_ = 0;
  paused_ = false;
  // A lost playback keeps the position it reached, and plays no more.
  if (lost()) return dropped;
  DropStream();
  played_ = 0;
  progressMark_ = 0;
  drainedBy_ = PA_USEC_INVALID;
  return dropped;
}

int PulsePlayback::TakeReleased() {
  const int released = released_;
  released_ = 0;
  newsTold_ = false;
  return released;
}

// Sends what the server has room for, in whole frames.
void PulsePlayback::Feed() {
  if (stream_ == nullptr || lost() || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
  size_t room = pa_stream_writable_size(stream_);
  if (room == static_cast<size_t>(-1)) return;
  for (;;) {
    size_t bytes = std::min<uint64_t>(room, queue_.written() - queue_.taken());
    bytes -= bytes % frameBytes_;
    if (bytes == 0) return;
    void* buffer = nullptr;
    size_t granted = bytes;
    if (pa_stream_begin_write(stream_, &buffer, &granted) < 0 || buffer == nullptr) return;
    bytes = std::min(bytes, granted - granted % frameBytes_);
    if (bytes == 0) {
      pa_stream_cancel_write(stream_);
      return;
    }
    auto* samples = static_cast<uint8_t*>(buffer);
    queue_.Take(samples, bytes);
    ScaleSamples(std::span(samples, bytes), gain_);
    if (pa_stream_write(stream_, buffer, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
    room -= bytes;
    drainedBy_ = PA_USEC_INVALID;
  }
}

void PulsePlayback::TakeTiming(const pa_timing_info& timing) {
  if (timing.read_index_corrupt || timing.read_index < 0) return;
  const auto read = static_cast<uint64_t>(timing.read_index);
  const uint64_t unheard = UnheardBytes(timing, spec_);
  Advance(read > unheard ? read - unheard : 0);
  // Once the stream has handed the sink everything, the sink has played it
  // all within its latency, whatever the server says about the silence
  // after it.
  if (read >= queue_.taken())
    drainedBy_ = std::min(drainedBy_, pa_rtclock_now() + timing.sink_usec);
  ReleasePlayed();
}

// Moves the position forward to `heard` bytes, in whole frames, never past
// what was sent.
void PulsePlayback::Advance(uint64_t heard) {
  heard -= heard % frameBytes_;
  played_ = std::max(played_, std::min(heard, queue_.taken()));
}

void PulsePlayback::ReleasePlayed() {
  const int released = queue_.ReleasePlayed(played_);
  if (released == 0) return;
  released_ += released;
  TellNews();
}

void PulsePlayback::WatchProgress(pa_usec_t now) {
  if (paused_ || played_ >= queue_.written() || played_ != progressMark_) {
    progressMark_ = played_;
    lastProgress_ = now;
  } else if (now - lastProgress_ > kStallLimit) {
    Lose(PlaybackLoss::kStopped);
  }
}

void PulsePlayback::RequestTiming() {
  if (paused_ || stream_ == nullptr || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
  if (timing_ != nullptr) {
    // One request at a time: a server that does not answer gets no more.
    if (pa_operation_get_state(timing_) == PA_OPERATION_RUNNING) return;
    pa_operation_unref(timing_);
  }
  timing_ = pa_stream_update_timing_info(stream_, &TimingArrived, this);
}

void PulsePlayback::ArmTick() {
  if (tickArmed_ || tick_ == nullptr || !Busy()) return;
  tickArmed_ = true;
  pa_context_rttime_restart(connection_.context(), tick_, pa_rtclock_now() + kTickInterval);
}

void PulsePlayback::Tick() {
  tickArmed_ = false;
  if (lost()) return;
  const pa_usec_t now = pa_rtclock_now();
  if (drainedBy_ != PA_USEC_INVALID && now >= drainedBy_) Advance(queue_.taken());
  ReleasePlayed();
  WatchProgress(now);
  RequestTiming();
  ArmTick();
}

void PulsePlayback::Lose(PlaybackLoss loss) {
  if (lost()) return;
  loss_ = loss;
  TellNews();
}

void PulsePlayback::TellNews() {
  if (newsTold_) return;
  newsTold_ = true;
  news_();
}

void PulsePlayback::StreamStateChanged(pa_stream* stream, void* self) {
  auto* playback = static_cast<PulsePlayback*>(self);
  switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
      // A pause that came while the server was still setting up the stream.
      if ((pa_stream_is_corked(stream) == 1) != playback->paused_)
        playback->SetPaused(playback->paused_);
      playback->Feed();
      break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
      playback->Lose(playback->connection_.failed() ? PlaybackLoss::kServerGone
                                                    : PlaybackLoss::kStopped);
      break;
    default:
      break;
  }
  playback->connection_.Wake();
}

void PulsePlayback::WriteRequested(pa_stream* /*stream*/, size_t /*bytes*/, void* self) {
  static_cast<PulsePlayback*>(self)->Feed();
}

void PulsePlayback::TimingArrived(pa_stream* stream, int success, void* self) {
  auto* playback = static_cast<PulsePlayback*>(self);
  // A paused stream keeps the position it had when it was paused.
  if (success == 0 || stream != playback->stream_ || playback->paused_) return;
  if (const pa_timing_info* timing = pa_stream_get_timing_info(stream))
    playback->TakeTiming(*timing);
}

void PulsePlayback::TickDue(pa_mainloop_api* /*api*/, pa_time_event* /*event*/,
                            const timeval* /*tv*/, void* self) {
  static_cast<PulsePlayback*>(self)->Tick();
}

}  // namespace app
