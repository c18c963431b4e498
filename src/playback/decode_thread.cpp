#include "playback/decode_thread.h"

#include <pthread.h>

#include <cstring>

#include "playback/thread_priority.h"
#include "voice/vdec.h"

namespace playback {

namespace {

void AnnounceBuffer(DecodeThreadBlock& block, uint32_t readyMessage, int bytes, int32_t frame) {
  block.notifyWindow->Post({readyMessage, static_cast<uintptr_t>(bytes), frame});
}

// Returns false when the thread has to end.
bool FillBuffer(DecodeThreadBlock& block, uint8_t* buffer, uint32_t readyMessage, int32_t& frame) {
  // A short last buffer then ends in silence rather than in an older buffer's sound.
  std::memset(buffer, 0, kPcmBufferBytes);
  int offset = 0;
  while (offset < kPcmBufferBytes && block.run != 0) {
    const StatusCode result = vdec_decode_frame(*block.decoder, buffer + offset, &frame);
    block.status = result;
    if (result != status::kSuccess) {
      AnnounceBuffer(block, readyMessage, offset, frame);
      return false;
    }
    offset += voice::kPcmFrameBytes;
  }
  if (block.run != 0) AnnounceBuffer(block, readyMessage, offset, frame);
  return true;
}

}  // namespace

void DecodeThreadProc(DecodeThreadBlock& block) {
  int32_t frame = 0;  // the position of the last frame decoded by this thread
  block.status = status::kSuccess;
  while (block.status == status::kSuccess && block.run != 0) {
    block.eventFillA.Wait();
    if (!FillBuffer(block, block.bufferA, WM_BUFFER_A_READY, frame)) return;
    block.eventFillB.Wait();
    if (!FillBuffer(block, block.bufferB, WM_BUFFER_B_READY, frame)) return;
  }
}

std::thread StartDecodeThread(DecodeThreadBlock& block) {
  return std::thread([&block] {
    // Named, so that a debugger, top -H and the tests can tell it apart.
    pthread_setname_np(pthread_self(), kDecodeThreadName);
    RaiseCurrentThreadAboveNormal();
    DecodeThreadProc(block);
  });
}

}  // namespace playback
