#include "voice/frame_reader.h"

#include <algorithm>
#include <cstring>

namespace voice {
namespace {

bool all_zero(const uint8_t* bytes, int n) {
  return std::all_of(bytes, bytes + n, [](uint8_t b) { return b == 0; });
}

// One frame in the reading direction. Backwards, the file is left at the
// first byte of the frame read, so that repeated reads walk backwards.
StatusCode raw_read(DecoderState& st, bool forward) {
  std::FILE* f = st.file.get();
  const long size = st.frame_bytes;
  if (!forward && std::fseek(f, -size, SEEK_CUR) != 0)
    return st.status = status::kBackwardSeekFailed;
  if (std::fread(st.frame, 1, static_cast<size_t>(size), f) < static_cast<size_t>(size))
    return st.status = status::kEndOfFile;
  if (!forward && std::fseek(f, -size, SEEK_CUR) != 0)
    return st.status = status::kBackwardSeekFailed;
  return status::kSuccess;
}

// Seek whose failure the format tolerates: a failed seek leaves the position
// where it was and the next read works from there.
void seek_unchecked(DecoderState& st, long offset) {
  (void)std::fseek(st.file.get(), offset, SEEK_CUR);
}

enum class Kind { Speech, Zero };

constexpr int kHalf = 20;

// An ADPCM frame whose trailing half (in the reading direction) is zero is
// realigned by half a frame: the 40 bytes that start in its middle are read
// instead. Returns the kind of the frame finally in the buffer.
StatusCode realign_adpcm(DecoderState& st, bool forward, Kind& kind) {
  const uint8_t* leading = forward ? st.frame : st.frame + kHalf;
  const uint8_t* trailing = forward ? st.frame + kHalf : st.frame;
  if (!all_zero(trailing, kHalf)) {
    kind = Kind::Speech;
    return status::kSuccess;
  }
  if (all_zero(leading, kHalf)) {
    kind = Kind::Zero;
    return status::kSuccess;
  }
  const long against = forward ? -1 : 1;
  seek_unchecked(st, against * kHalf);
  if (StatusCode r = raw_read(st, forward)) return r;
  if (all_zero(st.frame, 2 * kHalf)) {
    kind = Kind::Zero;
    return status::kSuccess;
  }
  seek_unchecked(st, against * 2 * kHalf);
  if (StatusCode r = raw_read(st, forward)) return r;
  kind = Kind::Speech;
  return status::kSuccess;
}

int32_t jump_distance(const uint8_t* frame) {
  const uint32_t u = static_cast<uint32_t>(frame[0]) | static_cast<uint32_t>(frame[1]) << 8 |
                     static_cast<uint32_t>(frame[2]) << 16 | static_cast<uint32_t>(frame[3]) << 24;
  return static_cast<int32_t>(u);
}

}  // namespace

StatusCode read_frame(DecoderState& st, bool forward) {
  if (st.status != status::kSuccess) return st.status;
  if (!st.file) return status::kOpenFailed;
  const int size = st.frame_bytes;
  for (;;) {
    if (StatusCode r = raw_read(st, forward)) return r;
    Kind kind = all_zero(st.frame, size) ? Kind::Zero : Kind::Speech;
    if (size == 2 * kHalf) {
      if (StatusCode r = realign_adpcm(st, forward, kind)) return r;
    }
    if (kind == Kind::Speech) return st.status;

    // A zero frame opens a special record: the next frame is either a second
    // zero frame (the end marker) or a jump frame.
    if (StatusCode r = raw_read(st, forward)) return r;
    if (all_zero(st.frame, size)) return st.status = status::kEndOfFile;
    const int32_t jump = jump_distance(st.frame);
    if (jump < size) return st.status = status::kBadJumpLength;
    // Forwards the jump counts from the jump frame's first byte, backwards
    // from its end; either way the file stands one frame from that point.
    const long distance = static_cast<long>(jump) - size;
    seek_unchecked(st, forward ? distance : -distance);
  }
}

}  // namespace voice
