// The player dialog's message map: which handler of the playback engine each
// message goes to. Commands come from the buttons; scroll notifications from
// the two sliders; the wave device's notifications and the decode thread's
// buffer-ready messages arrive posted, through the dialog's event queue.
#include "app/player_dialog.h"
#include "app/player_template.h"

namespace app {

namespace {

using playback::Control;
using playback::Message;
using playback::PlaybackEngine;

int ScrollCode(const Message& m) {
  return static_cast<int>(m.wparam & 0xFFFF);
}

int ScrollPosition(const Message& m) {
  return static_cast<int>((m.wparam >> 16) & 0xFFFF);
}

Control ScrollSource(const Message& m) {
  return static_cast<Control>(static_cast<int>(m.lparam));
}

int CommandSource(const Message& m) {
  return static_cast<int>(m.wparam & 0xFFFF);
}

struct MessageMapEntry {
  uint32_t message;
  int commandId;  // for WM_COMMAND, the control the command comes from
  void (*handler)(PlaybackEngine& engine, const Message& m);
};

constexpr int kAnySource = 0;

constexpr MessageMapEntry kMessageMap[] = {
    {playback::WM_COMMAND, IDC_PLAY, [](PlaybackEngine& e, const Message&) { e.OnPlay(); }},
    {playback::WM_COMMAND, IDC_STOP, [](PlaybackEngine& e, const Message&) { e.OnStop(); }},
    {playback::WM_HSCROLL, kAnySource,
     [](PlaybackEngine& e, const Message& m) {
       e.OnHScroll(ScrollCode(m), ScrollPosition(m), ScrollSource(m));
     }},
    {playback::WM_VSCROLL, kAnySource,
     [](PlaybackEngine& e, const Message& m) {
       e.OnVScroll(ScrollCode(m), ScrollPosition(m), ScrollSource(m));
     }},
    {playback::MM_WOM_DONE, kAnySource, [](PlaybackEngine& e, const Message&) { e.OnWaveDone(); }},
    {playback::MM_WOM_OPEN, kAnySource, [](PlaybackEngine& e, const Message&) { e.OnWaveOpen(); }},
    {playback::WM_BUFFER_A_READY, kAnySource,
     [](PlaybackEngine& e, const Message& m) {
       e.OnBufferAReady(static_cast<uint32_t>(m.wparam), static_cast<int32_t>(m.lparam));
     }},
    {playback::WM_BUFFER_B_READY, kAnySource,
     [](PlaybackEngine& e, const Message& m) {
       e.OnBufferBReady(static_cast<uint32_t>(m.wparam), static_cast<int32_t>(m.lparam));
     }},
    {playback::WM_WAVE_FAILED, kAnySource,
     [](PlaybackEngine& e, const Message& m) {
       e.OnWaveFailed(static_cast<playback::WaveResult>(m.wparam));
     }},
};

bool Matches(const MessageMapEntry& entry, const Message& m) {
  if (entry.message != m.id) return false;
  return entry.message != playback::WM_COMMAND || entry.commandId == CommandSource(m);
}

}  // namespace

// Messages without an entry are dropped.
void PlayerDialog::Dispatch(const Message& message) {
  for (const MessageMapEntry& entry : kMessageMap) {
    if (!Matches(entry, message)) continue;
    entry.handler(engine_, message);
    break;
  }
  if (afterDispatch_) afterDispatch_();
}

}  // namespace app
