#include "app/qt_audio_device.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include "app/sink_volume.h"
#include "app/wave_feed.h"

namespace app {

namespace wave_result = playback::wave_result;
using playback::WaveHeader;
using playback::WaveResult;

namespace {

// Often enough that a returned buffer is refilled long before the other one
// has played out, rarely enough to cost nothing.
constexpr int kPollMilliseconds = 50;

QAudioFormat SinkFormat(const playback::PcmFormat& format) {
  QAudioFormat f;
  f.setSampleRate(static_cast<int>(format.samplesPerSecond));
  f.setChannelCount(format.channels);
  f.setSampleFormat(QAudioFormat::Int16);
  return f;
}

bool IsPlainPcm16(const playback::PcmFormat& format) {
  return format.formatTag == 1 && format.bitsPerSample == 16 && format.channels >= 1 &&
         format.samplesPerSecond > 0;
}

}  // namespace

QtAudioDevice::QtAudioDevice() {
  poll_.setInterval(kPollMilliseconds);
  QObject::connect(&poll_, &QTimer::timeout, [this] { ReleasePlayedBuffers(); });
}

QtAudioDevice::~QtAudioDevice() {
  StopSink();
}

WaveResult QtAudioDevice::Open(const playback::PcmFormat& format, playback::MessageSink& window) {
  if (window_ != nullptr) return wave_result::kAllocated;
  const QAudioDevice output = QMediaDevices::defaultAudioOutput();
  if (output.isNull()) return wave_result::kBadDevice;
  if (!IsPlainPcm16(format) || !output.isFormatSupported(SinkFormat(format)))
    return wave_result::kError;
  sink_ = std::make_unique<QAudioSink>(output, SinkFormat(format));
  window_ = &window;
  format_ = format;
  paused_ = false;
  queue_.Clear();
  // Posted, as a device announces itself later from its own side.
  window.Post({playback::MM_WOM_OPEN, 0, 0});
  return wave_result::kOk;
}

WaveResult QtAudioDevice::Prepare(WaveHeader& header) {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  prepared_.insert(&header);
  return wave_result::kOk;
}

WaveResult QtAudioDevice::Unprepare(WaveHeader& header) {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  if (queue_.Holds(header.data)) return wave_result::kStillPlaying;
  prepared_.erase(&header);
  return wave_result::kOk;
}

WaveResult QtAudioDevice::Write(WaveHeader& header) {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  if (prepared_.count(&header) == 0) return wave_result::kUnprepared;
  if (!feed_ && !StartSink()) return wave_result::kNoDriver;
  queue_.Push(header.data, header.bufferLength);
  feed_->AnnounceQueued();
  if (!paused_) poll_.start();
  return wave_result::kOk;
}

// The sound server may have gone since the device opened: then the sink
// stops at once with an error, and nothing written would ever come back.
bool QtAudioDevice::StartSink() {
  feed_ = std::make_unique<WaveFeed>(queue_);
  sink_->setVolume(SinkVolumeFor(volume_));
  sink_->start(feed_.get());
  if (sink_->state() == QAudio::StoppedState && sink_->error() != QAudio::NoError) {
    StopSink();
    return false;
  }
  if (paused_) sink_->suspend();
  return true;
}

void QtAudioDevice::StopSink() {
  poll_.stop();
  if (sink_) sink_->stop();
  feed_.reset();
}

WaveResult QtAudioDevice::Pause() {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  paused_ = true;
  poll_.stop();
  if (feed_) sink_->suspend();
  return wave_result::kOk;
}

WaveResult QtAudioDevice::Restart() {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  if (!paused_) return wave_result::kOk;
  paused_ = false;
  if (feed_) sink_->resume();
  if (!queue_.empty()) poll_.start();
  return wave_result::kOk;
}

WaveResult QtAudioDevice::Reset() {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  StopSink();
  paused_ = false;
  PostDone(queue_.Clear());
  return wave_result::kOk;
}

WaveResult QtAudioDevice::Close() {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  if (!queue_.empty()) return wave_result::kStillPlaying;
  StopSink();
  sink_.reset();
  prepared_.clear();
  window_ = nullptr;
  return wave_result::kOk;
}

WaveResult QtAudioDevice::GetPosition(uint32_t& bytes) {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  bytes = static_cast<uint32_t>(PlayedBytes());
  return wave_result::kOk;
}

// What the sink reports as played, in whole sample frames, and never more
// than it has been given. Rounded to the nearest frame: the time comes in
// whole microseconds, and a stream that has played out must count every one
// of its frames, or its last buffer would never come back.
uint64_t QtAudioDevice::PlayedBytes() const {
  if (!feed_) return 0;
  const auto usecs = static_cast<uint64_t>(std::max<qint64>(sink_->processedUSecs(), 0));
  const uint64_t frames = (usecs * format_.samplesPerSecond + 500000) / 1000000;
  return std::min<uint64_t>(frames * format_.blockAlign, queue_.taken());
}

void QtAudioDevice::ReleasePlayedBuffers() {
  PostDone(queue_.ReleasePlayed(PlayedBytes()));
  if (queue_.empty()) poll_.stop();
}

void QtAudioDevice::PostDone(int count) {
  for (int i = 0; i < count; ++i) window_->Post({playback::MM_WOM_DONE, 0, 0});
}

WaveResult QtAudioDevice::SetVolume(uint32_t volume) {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  volume_ = volume;
  sink_->setVolume(SinkVolumeFor(volume));
  return wave_result::kOk;
}

WaveResult QtAudioDevice::GetVolume(uint32_t& volume) {
  if (window_ == nullptr) return wave_result::kInvalidHandle;
  volume = volume_;
  return wave_result::kOk;
}

WaveResult QtAudioDevice::GetCapabilities(uint32_t& supportFlags) {
  supportFlags = 0;
  if (QMediaDevices::defaultAudioOutput().isNull()) return wave_result::kBadDevice;
  supportFlags = playback::kVolumeSupported;
  return wave_result::kOk;
}

std::string QtAudioDevice::ErrorText(WaveResult code) {
  return playback::DescribeWaveResult(code);
}

}  // namespace app
