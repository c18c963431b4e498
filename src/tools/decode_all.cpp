#include "tools/decode_all.h"

#include "voice/vdec.h"

namespace tools {

DecodeResult decode_all(voice::DecoderState& st, PcmSink& sink) {
  DecodeResult result;
  uint8_t pcm[voice::kPcmFrameBytes] = {};
  int16_t samples[voice::kSamplesPerFrame];
  for (;;) {
    // A failed read leaves the position where it was and writes nothing; a
    // status raised while decoding the frame (a division error) comes after
    // its samples were written and the position advanced.
    const int32_t before = st.position;
    int32_t after = before;
    result.status = vdec_decode_frame(st, pcm, &after);
    result.failed_frame = result.frames;
    if (after != before) {
      for (int i = 0; i < voice::kSamplesPerFrame; ++i)
        samples[i] = static_cast<int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8);
      ++result.frames;
      if (!sink.write(samples)) {
        result.written = false;
        return result;
      }
    }
    if (result.status != status::kSuccess) return result;
  }
}

std::optional<std::string> reading_fault(StatusCode status, int64_t frames, int64_t failed_frame,
                                         int64_t header_frames, const char* status_text) {
  if (status == status::kEndOfFile) {
    if (frames >= header_frames) return std::nullopt;
    return "truncated after " + std::to_string(frames) + " of " + std::to_string(header_frames) +
           " frames";
  }
  return "damaged at frame " + std::to_string(failed_frame) + ": " + status_text;
}

}  // namespace tools
