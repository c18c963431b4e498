// The player's wave output on Qt Multimedia: the system's default audio
// output through a QAudioSink that pulls the written buffers from a queue.
// A buffer is given back (MM_WOM_DONE) only when the sink reports it played,
// so the player's elapsed time and its end of stream follow what was heard.
// Every call, and every notification, happens on the thread that owns the
// device, which must run a Qt event loop.
#pragma once

#include <QTimer>
#include <memory>
#include <set>

#include "app/wave_queue.h"
#include "playback/audio_device.h"

class QAudioSink;

namespace app {

class WaveFeed;

class QtAudioDevice : public playback::AudioDevice {
 public:
  QtAudioDevice();
  ~QtAudioDevice() override;
  QtAudioDevice(const QtAudioDevice&) = delete;
  QtAudioDevice& operator=(const QtAudioDevice&) = delete;

  playback::WaveResult Open(const playback::PcmFormat& format,
                            playback::MessageSink& window) override;
  playback::WaveResult Prepare(playback::WaveHeader& header) override;
  playback::WaveResult Unprepare(playback::WaveHeader& header) override;
  playback::WaveResult Write(playback::WaveHeader& header) override;
  playback::WaveResult Pause() override;
  playback::WaveResult Restart() override;
  playback::WaveResult Reset() override;
  playback::WaveResult Close() override;
  playback::WaveResult GetPosition(uint32_t& bytes) override;
  playback::WaveResult SetVolume(uint32_t volume) override;
  playback::WaveResult GetVolume(uint32_t& volume) override;
  playback::WaveResult GetCapabilities(uint32_t& supportFlags) override;
  std::string ErrorText(playback::WaveResult code) override;

 private:
  bool StartSink();
  void StopSink();
  uint64_t PlayedBytes() const;
  void ReleasePlayedBuffers();
  void PostDone(int count);

  playback::MessageSink* window_ = nullptr;  // set while open
  playback::PcmFormat format_;
  std::unique_ptr<QAudioSink> sink_;  // from the first write after open or reset
  std::unique_ptr<WaveFeed> feed_;
  WaveQueue queue_;
  std::set<const playback::WaveHeader*> prepared_;
  QTimer poll_;  // watches the sink's progress while buffers are queued
  bool paused_ = false;
  uint32_t volume_ = 0xFFFFFFFF;  // kept across opens, like a mixer setting
};

}  // namespace app
