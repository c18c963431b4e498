// A wave output device in simulated time, driven by the test: it plays the
// written buffers in order at 16,000 bytes per second whenever the test
// advances its clock, posts the notifications a real device would, and
// keeps every byte it played. It is strict where a device is: writing an
// unprepared buffer, or unpreparing and closing while buffers are queued,
// fails. Calls come from the test's thread, which is the player's
// user-interface thread.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "playback/audio_device.h"

namespace playback_testing {

using playback::WaveHeader;
using playback::WaveResult;

class SimulatedAudioDevice : public playback::AudioDevice {
 public:
  static constexpr uint32_t kBytesPerSecond = 16000;

  WaveResult Open(const playback::PcmFormat& format, playback::MessageSink& window) override;
  WaveResult Prepare(WaveHeader& header) override;
  WaveResult Unprepare(WaveHeader& header) override;
  WaveResult Write(WaveHeader& header) override;
  WaveResult Pause() override;
  WaveResult Restart() override;
  WaveResult Reset() override;
  WaveResult Close() override;
  WaveResult GetPosition(uint32_t& bytes) override;
  WaveResult SetVolume(uint32_t volume) override;
  WaveResult GetVolume(uint32_t& volume) override;
  WaveResult GetCapabilities(uint32_t& supportFlags) override;
  std::string ErrorText(WaveResult code) override;

  // Failure injection, each once: the next Open; the nth Prepare or Write
  // after the next successful Open (counted from 1).
  void FailOpen(WaveResult code) { failOpen_ = code; }
  void FailPrepare(int nth, WaveResult code);
  void FailWrite(int nth, WaveResult code);
  // The open device can no longer play, as when its sound server goes away:
  // it says so once, refuses writes and restarts and plays nothing more,
  // and still resets and closes. The next Open is a fresh device.
  void Lose();
  void SetCapabilities(uint32_t supportFlags) { capabilities_ = supportFlags; }
  void SetDeviceVolume(uint32_t volume) { volume_ = volume; }

  // Forgets the calls, opens and volume requests recorded so far.
  void ClearRecords();

  // Lets `bytes` worth of time pass. Paused or closed, nothing plays.
  void Advance(uint32_t bytes);
  // Plays until the oldest queued buffer has finished; false when nothing
  // can play.
  bool PlayNextBuffer();

  bool is_open() const { return open_; }
  bool is_paused() const { return paused_; }
  size_t queued() const { return queue_.size(); }
  int opens() const { return opens_; }
  // Every byte played, in order, read from the buffers as they played.
  const std::vector<uint8_t>& played() const { return played_; }
  // Played bytes that differed from what the buffer held when written.
  int changed_while_queued() const { return changedWhileQueued_; }
  // Each call by name ("open", "prepare", "write", "pause", ...), in order.
  const std::vector<std::string>& calls() const { return calls_; }
  // Every volume asked for, also when the device was closed.
  const std::vector<uint32_t>& volume_requests() const { return volumeRequests_; }

 private:
  struct QueuedBuffer {
    WaveHeader* header;
    std::vector<uint8_t> written;
    uint32_t played = 0;
  };

  void Notify(uint32_t message);
  void PlayFromHead(uint32_t bytes);

  bool open_ = false;
  bool paused_ = false;
  bool lost_ = false;
  playback::MessageSink* window_ = nullptr;
  std::set<const WaveHeader*> prepared_;
  std::deque<QueuedBuffer> queue_;
  uint32_t position_ = 0;
  uint32_t volume_ = 0xFFFFFFFF;
  uint32_t capabilities_ = playback::kVolumeSupported;
  WaveResult failOpen_ = 0;
  int prepares_ = 0, failPrepareAt_ = 0, writes_ = 0, failWriteAt_ = 0;
  WaveResult failPrepare_ = 0, failWrite_ = 0;
  int opens_ = 0;
  std::vector<uint8_t> played_;
  int changedWhileQueued_ = 0;
  std::vector<std::string> calls_;
  std::vector<uint32_t> volumeRequests_;
};

}  // namespace playback_testing
