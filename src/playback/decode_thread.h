// The decode thread of a playback stream: it fills the two PCM buffers in
// turn, 40 decoded frames (0.4 s) each, whenever the player asks for one,
// and posts a ready message for each buffer it has filled.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "playback/auto_reset_event.h"
#include "playback/message.h"
#include "voice/decoder_state.h"

namespace playback {

inline constexpr int kFramesPerBuffer = 40;
inline constexpr int kPcmBufferBytes = 6400;  // 40 frames of 160 bytes

// Shared by the player and the decode thread, and nothing else is.
struct DecodeThreadBlock {
  std::atomic<int32_t> run{0};  // non-zero while the thread may go on
  // The last frame's StatusCode; non-zero once the thread met the end of the
  // recording or a failure.
  std::atomic<StatusCode> status{0};
  MessageSink* notifyWindow = nullptr;  // receives the ready messages
  AutoResetEvent eventFillA;            // fill buffer A
  AutoResetEvent eventFillB;            // fill buffer B
  uint8_t* bufferA = nullptr;           // kPcmBufferBytes each, owned by the player
  uint8_t* bufferB = nullptr;
  // The decoder is the thread's alone from its start until it has returned.
  voice::DecoderState* decoder = nullptr;
};

// Whether the status the thread ended with means the recording could not be
// read to its end (anything but the end of the recording itself).
inline bool IsReadingFailure(StatusCode ended) {
  return ended != status::kSuccess && ended != status::kEndOfFile;
}

// Fills A, then B, then A again..., each after its fill event, until `run`
// is cleared or a frame fails (the end of the recording among the failures).
// On a failure it posts what the current buffer holds and returns; when
// `run` is cleared part-way the partial buffer is dropped without a message.
void DecodeThreadProc(DecodeThreadBlock& block);

inline constexpr char kDecodeThreadName[] = "voice-decode";

// Runs DecodeThreadProc on a new thread named kDecodeThreadName, above
// normal priority where the system allows it.
std::thread StartDecodeThread(DecodeThreadBlock& block);

}  // namespace playback
