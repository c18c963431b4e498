// The player's wave output: the sound server's default sink, through
// libpulse. Every Open connects to the server afresh, so that a server that
// was restarted, or that started only after the player, is found by the
// next Play. A buffer is given back (MM_WOM_DONE) only once the sink has
// played it to its end, so the player's elapsed time and its end of stream
// follow what was heard.
//
// Every call comes from the thread that owns the device, which must run a Qt
// event loop; the notifications are posted from that thread too. Open, and
// GetCapabilities while closed, wait for the server for at most two seconds;
// no other call waits for it.
#pragma once

#include <QObject>
#include <memory>
#include <set>

#include "playback/audio_device.h"

namespace app {

class PulseConnection;
class PulsePlayback;
enum class PlaybackLoss;

class PulseAudioDevice : public playback::AudioDevice {
 public:
  PulseAudioDevice();
  ~PulseAudioDevice() override;
  PulseAudioDevice(const PulseAudioDevice&) = delete;
  PulseAudioDevice& operator=(const PulseAudioDevice&) = delete;

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
  bool open() const { return window_ != nullptr; }
  void TellOwnerThread();
  void DeliverNews();
  void PostDone(int count);
  void Disconnect();

  // Receives, on the owner's thread, the news from libpulse's thread.
  QObject ownerThread_;
  playback::MessageSink* window_ = nullptr;  // set while open
  std::unique_ptr<PulseConnection> connection_;
  std::unique_ptr<PulsePlayback> playback_;
  std::set<const playback::WaveHeader*> prepared_;
  uint32_t frameBytes_ = 2;
  bool failurePosted_ = false;
  PlaybackLoss loss_;             // why the last playback was lost, for ErrorText
  uint32_t volume_ = 0xFFFFFFFF;  // kept across opens, like a mixer setting
};

}  // namespace app
