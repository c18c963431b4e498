#include "app/pulse_audio_device.h"

#include <QCoreApplication>

#include "app/pulse_connection.h"
#include "app/pulse_playback.h"
#include "app/sink_volume.h"

namespace app {

namespace wave_result = playback::wave_result;
using playback::WaveHeader;
using playback::WaveResult;

namespace {

// How long Open waits for the server: far longer than a running server
// takes, and short enough that a hung one does not freeze the player.
constexpr int kServerAnswerMilliseconds = 2000;

// 16-bit integer PCM whose block is one sample per channel.
bool SampleSpecFor(const playback::PcmFormat& format, pa_sample_spec& spec) {
  if (format.formatTag != 1 || format.bitsPerSample != 16 || format.channels == 0 ||
      format.channels > PA_CHANNELS_MAX || format.blockAlign != format.channels * 2)
    return false;
  spec.format = PA_SAMPLE_S16LE;
  spec.rate = format.samplesPerSecond;
  spec.channels = static_cast<uint8_t>(format.channels);
  return pa_sample_spec_valid(&spec) != 0;
}

// The name the server's mixers show for the player.
std::string ClientName() {
  const std::string name = QCoreApplication::applicationName().toStdString();
  return name.empty() ? "voiceplayer" : name;
}

}  // namespace

PulseAudioDevice::PulseAudioDevice() : loss_(PlaybackLoss::kNone) {}

PulseAudioDevice::~PulseAudioDevice() {
  Disconnect();
}

WaveResult PulseAudioDevice::Open(const playback::PcmFormat& format,
                                  playback::MessageSink& window) {
  if (open()) return wave_result::kAllocated;
  pa_sample_spec spec{};
  if (!SampleSpecFor(format, spec)) return wave_result::kError;
  const pa_usec_t deadline = PulseConnection::DeadlineIn(kServerAnswerMilliseconds);
  auto connection = std::make_unique<PulseConnection>(ClientName());
  {
    PulseConnection::Lock lock(*connection);
    if (!connection->Connect(deadline) || !connection->HasDefaultSink(deadline))
      return wave_result::kBadDevice;
    auto playback =
        std::make_unique<PulsePlayback>(*connection, spec, [this] { TellOwnerThread(); });
    if (!playback->Start(deadline)) return wave_result::kBadDevice;
    playback->SetGain(SinkVolumeFor(volume_));
    playback_ = std::move(playback);
  }
  connection_ = std::move(connection);
  window_ = &window;
  frameBytes_ = static_cast<uint32_t>(pa_frame_size(&spec));
  failurePosted_ = false;
  loss_ = PlaybackLoss::kNone;
  // Posted, as a device announces itself later from its own side.
  window.Post({playback::MM_WOM_OPEN, 0, 0});
  return wave_result::kOk;
}

WaveResult PulseAudioDevice::Prepare(WaveHeader& header) {
  if (!open()) return wave_result::kInvalidHandle;
  prepared_.insert(&header);
  return wave_result::kOk;
}

WaveResult PulseAudioDevice::Unprepare(WaveHeader& header) {
  if (!open()) return wave_result::kInvalidHandle;
  {
    PulseConnection::Lock lock(*connection_);
    if (playback_->Holds(header.data)) return wave_result::kStillPlaying;
  }
  prepared_.erase(&header);
  return wave_result::kOk;
}

WaveResult PulseAudioDevice::Write(WaveHeader& header) {
  if (!open()) return wave_result::kInvalidHandle;
  if (prepared_.count(&header) == 0) return wave_result::kUnprepared;
  // The server takes whole sample frames only.
  if (header.bufferLength % frameBytes_ != 0 || (header.data == nullptr && header.bufferLength > 0))
    return wave_result::kError;
  PulseConnection::Lock lock(*connection_);
  if (playback_->lost()) return wave_result::kDeviceLost;
  playback_->Push(header.data, header.bufferLength);
  return wave_result::kOk;
}

WaveResult PulseAudioDevice::Pause() {
  if (!open()) return wave_result::kInvalidHandle;
  PulseConnection::Lock lock(*connection_);
  playback_->SetPaused(true);
  return wave_result::kOk;
}

WaveResult PulseAudioDevice::Restart() {
  if (!open()) return wave_result::kInvalidHandle;
  PulseConnection::Lock lock(*connection_);
  if (playback_->lost()) return wave_result::kDeviceLost;
  playback_->SetPaused(false);
  return wave_result::kOk;
}

WaveResult PulseAudioDevice::Reset() {
  if (!open()) return wave_result::kInvalidHandle;
  int dropped = 0;
  {
    PulseConnection::Lock lock(*connection_);
    dropped = playback_->Drop();
  }
  PostDone(dropped);
  return wave_result::kOk;
}

WaveResult PulseAudioDevice::Close() {
  if (!open()) return wave_result::kInvalidHandle;
  {
    PulseConnection::Lock lock(*connection_);
    if (playback_->pending() > 0) return wave_result::kStillPlaying;
  }
  Disconnect();
  prepared_.clear();
  window_ = nullptr;
  return wave_result::kOk;
}

void PulseAudioDevice::Disconnect() {
  if (!connection_) return;
  {
    PulseConnection::Lock lock(*connection_);
    playback_.reset();
  }
  connection_.reset();
}

WaveResult PulseAudioDevice::GetPosition(uint32_t& bytes) {
  if (!open()) return wave_result::kInvalidHandle;
  PulseConnection::Lock lock(*connection_);
  bytes = static_cast<uint32_t>(playback_->played());
  return wave_result::kOk;
}

// Runs on libpulse's thread, with the lock held: the news is read, and
// posted, on the owner's thread, where Reset and Close cannot overtake it.
void PulseAudioDevice::TellOwnerThread() {
  QMetaObject::invokeMethod(
      &ownerThread_, [this] { DeliverNews(); }, Qt::QueuedConnection);
}

void PulseAudioDevice::DeliverNews() {
  if (!open()) return;
  int released = 0;
  PlaybackLoss loss = PlaybackLoss::kNone;
  {
    PulseConnection::Lock lock(*connection_);
    released = playback_->TakeReleased();
    loss = playback_->loss();
  }
  PostDone(released);
  if (loss == PlaybackLoss::kNone || failurePosted_) return;
  failurePosted_ = true;
  loss_ = loss;
  window_->Post({playback::WM_WAVE_FAILED, wave_result::kDeviceLost, 0});
}

void PulseAudioDevice::PostDone(int count) {
  for (int i = 0; i < count; ++i) window_->Post({playback::MM_WOM_DONE, 0, 0});
}

WaveResult PulseAudioDevice::SetVolume(uint32_t volume) {
  if (!open()) return wave_result::kInvalidHandle;
  volume_ = volume;
  PulseConnection::Lock lock(*connection_);
  playback_->SetGain(SinkVolumeFor(volume));
  return wave_result::kOk;
}

WaveResult PulseAudioDevice::GetVolume(uint32_t& volume) {
  if (!open()) return wave_result::kInvalidHandle;
  volume = volume_;
  return wave_result::kOk;
}

// An open device has found its sink already; a closed one asks the server
// that is there now.
WaveResult PulseAudioDevice::GetCapabilities(uint32_t& supportFlags) {
  supportFlags = 0;
  bool hasSink = false;
  if (open()) {
    PulseConnection::Lock lock(*connection_);
    hasSink = !playback_->lost();
  } else {
    const pa_usec_t deadline = PulseConnection::DeadlineIn(kServerAnswerMilliseconds);
    PulseConnection probe(ClientName());
    PulseConnection::Lock lock(probe);
    hasSink = probe.Connect(deadline) && probe.HasDefaultSink(deadline);
  }
  if (!hasSink) return wave_result::kBadDevice;
  supportFlags = playback::kVolumeSupported;
  return wave_result::kOk;
}

std::string PulseAudioDevice::ErrorText(WaveResult code) {
  if (code == wave_result::kDeviceLost && loss_ == PlaybackLoss::kServerGone)
    return "The sound server went away.";
  return playback::DescribeWaveResult(code);
}

}  // namespace app
