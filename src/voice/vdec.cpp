#include "voice/vdec.h"

#include <cstring>

#include "voice/frame_reader.h"
#include "voice/mode_steps.h"

using voice::DecoderState;

namespace {

// Positions are 32-bit and wrap like the counters they are; never let a huge
// skip count overflow them.
int32_t wrapping_add(int32_t a, int64_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a + b));
}

StatusCode skip(DecoderState& st, int n, bool forward) {
  StatusCode r = status::kSuccess;
  for (int i = 0; i < n; ++i) {
    r = voice::read_frame(st, forward);
    if (r != status::kSuccess) break;
  }
  st.position = wrapping_add(st.position, forward ? int64_t{n} : -int64_t{n});
  return r;
}

}  // namespace

StatusCode vdec_open(DecoderState& st, const char* path, int* mode) {
  st.position = 0;
  if (mode) *mode = st.mode;
  if (st.status != status::kSuccess) return st.status;
  if (st.file) return status::kSuccess;
  std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
  if (!file) return st.status = status::kOpenFailed;
  return vdec_open_stream(st, file, mode);
}

StatusCode vdec_open_stream(DecoderState& st, std::FILE* file, int* mode) {
  st.position = 0;
  st.file.reset(file);
  // Only bytes 16 to 31 are kept: the second block overwrites the first. A
  // file too short to hold them reads as zeros there, not as what the
  // buffer held before (an earlier file's header or the first block).
  for (int block = 0; block < 2; ++block) {
    std::memset(st.header, 0, sizeof st.header);
    (void)std::fread(st.header, 1, sizeof st.header, st.file.get());
  }

  st.mode = voice::mode_value(st.header[voice::kModeOffset - voice::kHeaderKeptFrom]);
  if (mode) *mode = st.mode;
  if (st.mode == static_cast<int>(voice::VoiceMode::Adpcm40))
    voice::adpcm_open_step(st);
  else
    voice::celp_open_step(st);
  return st.status;
}

int32_t vdec_query(DecoderState& st, const char* path, int* mode, StatusCode* result) {
  const StatusCode r = vdec_open(st, path, mode);
  if (result) *result = r;
  return r == status::kSuccess ? st.frame_count : -1;
}

StatusCode vdec_restart_at(DecoderState& st, const char* path, int count) {
  st.position = 0;
  if (count == 0) {
    if (st.status == status::kEndOfFile) st.status = status::kSuccess;
    if (st.status != status::kSuccess) return st.status;
    if (!st.file) return status::kOpenFailed;
    const long header_and_leading = voice::kFirstFrameOffset - 2L * st.frame_bytes;
    if (std::fseek(st.file.get(), header_and_leading + 2L * st.frame_bytes, SEEK_SET) != 0)
      return status::kBackwardSeekFailed;
    return status::kSuccess;
  }
  StatusCode r = vdec_open(st, path, nullptr);
  int read = 0;
  while (r == status::kSuccess && read < count) {
    r = voice::read_frame(st, true);
    ++read;
  }
  st.position = read;
  return r;
}

StatusCode vdec_skip_forward(DecoderState& st, int n) {
  return skip(st, n, true);
}

StatusCode vdec_skip_backward(DecoderState& st, int n) {
  return skip(st, n, false);
}

StatusCode vdec_decode_frame(DecoderState& st, uint8_t* pcm, int32_t* position) {
  if (StatusCode r = voice::read_frame(st, true)) return r;
  if (st.mode == static_cast<int>(voice::VoiceMode::Adpcm40))
    voice::adpcm_frame_step(st, pcm);
  else
    voice::celp_frame_step(st, pcm);
  st.position = wrapping_add(st.position, 1);
  if (position) *position = st.position;
  return st.status;
}

void vdec_close(DecoderState& st) {
  st.file.reset();
}

void vdec_reset_status(DecoderState& st) {
  // Closing (rather than dropping) the handle keeps a reset from leaking it.
  st.file.reset();
  st.status = status::kSuccess;
}

DecoderState& vdec_state() {
  static DecoderState state;
  return state;
}

StatusCode vdec_open(const char* path, int* mode) {
  return vdec_open(vdec_state(), path, mode);
}
int32_t vdec_query(const char* path, int* mode, StatusCode* result) {
  return vdec_query(vdec_state(), path, mode, result);
}
StatusCode vdec_restart_at(const char* path, int count) {
  return vdec_restart_at(vdec_state(), path, count);
}
StatusCode vdec_skip_forward(int n) {
  return vdec_skip_forward(vdec_state(), n);
}
StatusCode vdec_skip_backward(int n) {
  return vdec_skip_backward(vdec_state(), n);
}
StatusCode vdec_decode_frame(uint8_t* pcm, int32_t* position) {
  return vdec_decode_frame(vdec_state(), pcm, position);
}
void vdec_close() {
  vdec_close(vdec_state());
}
void vdec_reset_status() {
  vdec_reset_status(vdec_state());
}
const char* vdec_status_text(StatusCode code) {
  return vdec_status_text(vdec_state(), code);
}
