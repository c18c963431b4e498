#include "playback/message_routing.h"

#include "playback/playback_engine.h"

namespace playback {

namespace {

int ScrollCode(const Message& m) {
  return static_cast<int>(m.wparam & 0xFFFF);
}

int ScrollPosition(const Message& m) {
  return static_cast<int>((m.wparam >> 16) & 0xFFFF);
}

Control ControlOf(intptr_t id) {
  return static_cast<Control>(static_cast<int>(id));
}

}  // namespace

Message MakeScrollMessage(uint32_t id, int code, int position, Control slider) {
  const auto wparam =
      (static_cast<uintptr_t>(position) & 0xFFFF) << 16 | (static_cast<uintptr_t>(code) & 0xFFFF);
  return {id, wparam, static_cast<intptr_t>(slider)};
}

Message MakeCommandMessage(Control button) {
  return {WM_COMMAND, static_cast<uintptr_t>(button), 0};
}

void RouteMessage(PlaybackEngine& engine, const Message& m) {
  switch (m.id) {
    case WM_COMMAND: {
      const Control button = ControlOf(static_cast<intptr_t>(m.wparam & 0xFFFF));
      if (button == Control::kPlay) engine.OnPlay();
      if (button == Control::kStop) engine.OnStop();
      break;
    }
    case WM_HSCROLL:
      engine.OnHScroll(ScrollCode(m), ScrollPosition(m), ControlOf(m.lparam));
      break;
    case WM_VSCROLL:
      engine.OnVScroll(ScrollCode(m), ScrollPosition(m), ControlOf(m.lparam));
      break;
    case MM_WOM_OPEN:
      engine.OnWaveOpen();
      break;
    case MM_WOM_DONE:
      engine.OnWaveDone();
      break;
    case WM_BUFFER_A_READY:
      engine.OnBufferAReady(static_cast<uint32_t>(m.wparam), static_cast<int32_t>(m.lparam));
      break;
    case WM_BUFFER_B_READY:
      engine.OnBufferBReady(static_cast<uint32_t>(m.wparam), static_cast<int32_t>(m.lparam));
      break;
    case WM_WAVE_FAILED:
      engine.OnWaveFailed(static_cast<WaveResult>(m.wparam));
      break;
    default:
      break;
  }
}

int DispatchQueued(MessageQueue& queue, PlaybackEngine& engine) {
  int routed = 0;
  while (const auto message = queue.Take()) {
    RouteMessage(engine, *message);
    ++routed;
  }
  return routed;
}

}  // namespace playback
