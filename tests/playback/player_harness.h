// A player without a window or a sound card: the engine wired to a simulated
// device, a fake dialog, a recording held in memory and a scratch temporary
// directory, with the loop that routes the queued messages as the dialog's
// user-interface thread does. The test's thread is that thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "fake_player_view.h"
#include "playback/embedded_recording.h"
#include "playback/message_queue.h"
#include "playback/playback_engine.h"
#include "playback_test_files.h"
#include "simulated_audio_device.h"
#include "voice/decoder_state.h"

namespace playback_testing {

class InMemoryRecording : public playback::EmbeddedRecording {
 public:
  explicit InMemoryRecording(std::optional<Bytes> bytes) : bytes_(std::move(bytes)) {}
  std::optional<std::span<const uint8_t>> FindResource(const std::string& type,
                                                       int id) const override;
  std::string ApplicationName() const override { return "voiceplayer"; }
  int lookups() const { return lookups_; }

 private:
  std::optional<Bytes> bytes_;
  mutable int lookups_ = 0;
};

class PlayerHarness {
 public:
  // Starts up as the dialog does; the device's records begin after that.
  // `tempRoot` replaces the scratch directory as the engine's temporary root.
  explicit PlayerHarness(std::optional<Bytes> recording,
                         std::optional<std::string> tempRoot = std::nullopt);

  // Routes the queued messages, waiting for more, until `done` holds; false
  // when it still does not after 20 seconds.
  bool PumpUntil(const std::function<bool()>& done);
  void Pump() {
    PumpUntil([] { return true; });
  }
  // Play pressed; true once the stream plays with its first buffers queued.
  bool Play();
  // The device plays its oldest buffer; true once what follows has been
  // handled: the next buffer queued, or the stream ended.
  bool PlayBuffer();
  // Plays buffer after buffer until the stream has ended.
  bool PlayToEnd();
  // The stream's buffers are queued: both, or all that are left.
  bool BuffersQueued();

  const playback::PlaybackState& state() const { return engine.state(); }

  ScratchDirectory scratch;
  voice::DecoderState decoder;
  playback::MessageQueue queue;
  FakePlayerView view{queue};
  SimulatedAudioDevice device;
  InMemoryRecording recording;
  playback::PlaybackEngine engine;
};

}  // namespace playback_testing
