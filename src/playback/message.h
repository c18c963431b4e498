// Messages for the player's user-interface thread. The wave output device
// and the decode thread never call the player's handlers themselves: they
// post a message, and the user-interface thread takes the messages one at a
// time, in the order they were posted, and routes each to its handler.
#pragma once

#include <cstdint>

namespace playback {

struct Message {
  uint32_t id = 0;
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

// Where messages are posted: the player's window. Post may be called from any
// thread and never blocks for long.
class MessageSink {
 public:
  virtual void Post(const Message& message) = 0;

 protected:
  ~MessageSink() = default;
};

// The ids keep the classic window-message values, so that a message reads the
// same in a log, a test and the dialog's routing table.
inline constexpr uint32_t WM_COMMAND = 0x0111;  // wparam: the control id
inline constexpr uint32_t WM_HSCROLL = 0x0114;  // see MakeScrollMessage
inline constexpr uint32_t WM_VSCROLL = 0x0115;
inline constexpr uint32_t MM_WOM_OPEN = 0x3BB;  // the device has opened
inline constexpr uint32_t MM_WOM_DONE = 0x3BD;  // the device gave a buffer back
// From the decode thread: wparam the valid bytes of the buffer, lparam the
// decoder's frame position after its last frame.
inline constexpr uint32_t WM_BUFFER_A_READY = 1054;
inline constexpr uint32_t WM_BUFFER_B_READY = 1064;
// From an open wave output device that can no longer play (its sound server
// went away, or it stopped playing while not paused): wparam the WaveResult
// that says why. Posted once per failure; the device then refuses writes and
// restarts, keeps reporting the position it had reached, and still resets
// and closes.
inline constexpr uint32_t WM_WAVE_FAILED = 1074;

}  // namespace playback
