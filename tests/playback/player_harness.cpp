#include "player_harness.h"

#include <chrono>

#include "playback/message_routing.h"

namespace playback_testing {

std::optional<std::span<const uint8_t>> InMemoryRecording::FindResource(const std::string& type,
                                                                        int id) const {
  ++lookups_;
  if (!bytes_ || type != "VOICE" || id != 136) return std::nullopt;
  return std::span<const uint8_t>(*bytes_);
}

PlayerHarness::PlayerHarness(std::optional<Bytes> bytes, std::optional<std::string> tempRoot)
    : recording(std::move(bytes)),
      engine(decoder, device, view, recording, tempRoot.value_or(scratch.path())) {
  // As the dialog starts: slider ranges and the device probe.
  engine.InitControls();
  Pump();
  device.ClearRecords();
}

bool PlayerHarness::PumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    playback::DispatchQueued(queue, engine);
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (const auto message = queue.TakeWithin(std::chrono::milliseconds(10)))
      playback::RouteMessage(engine, *message);
  }
}

bool PlayerHarness::BuffersQueued() {
  return device.queued() == 2 || state().lastBufferWritten;
}

bool PlayerHarness::Play() {
  engine.OnPlay();
  return PumpUntil([this] { return state().playing && BuffersQueued(); });
}

bool PlayerHarness::PlayBuffer() {
  return device.PlayNextBuffer() &&
         PumpUntil([this] { return !state().playing || BuffersQueued(); });
}

bool PlayerHarness::PlayToEnd() {
  while (state().playing)
    if (!PlayBuffer()) return false;
  return true;
}

}  // namespace playback_testing
