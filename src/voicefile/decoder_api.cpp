// The decoding half of the C interface, on a decoder state of each handle's
// own. The only file of the library that knows the decoder's insides.
#include <memory>
#include <new>

#include "callback_stream.h"
#include "voice/vdec.h"
#include "voicefile/voicefile.h"

// The interface's status values are the decoder's own.
static_assert(VF_STATUS_END_OF_STREAM == status::kEndOfFile);
static_assert(VF_STATUS_DIVISION_ERROR == status::kDivisionError);
static_assert(VF_STATUS_BACKWARD_SEEK_FAILED == status::kBackwardSeekFailed);
static_assert(VF_STATUS_NO_FRAMES == status::kNoFrames);
static_assert(VF_STATUS_ALREADY_TERMINATED == status::kAlreadyTerminated);

struct vf_decoder {
  // Declared before the state so that it outlives the FILE the state closes.
  std::unique_ptr<voicefile::CallbackStream> callbacks;
  voice::DecoderState state;
};

namespace {

void set_status(int* status, int value) {
  if (status) *status = value;
}

// Back to the first frame, clearing an end of the stream.
StatusCode restart(voice::DecoderState& st) {
  return vdec_restart_at(st, nullptr, 0);
}

// Takes over `file` (and the callbacks it reads through) whatever happens.
vf_decoder* open_stream(std::FILE* file, std::unique_ptr<voicefile::CallbackStream> callbacks,
                        int* status) {
  if (!file) {
    set_status(status, status::kOpenFailed);
    return nullptr;
  }
  std::unique_ptr<vf_decoder> decoder(new (std::nothrow) vf_decoder);
  if (!decoder) {
    std::fclose(file);
    set_status(status, VF_ERR_OUT_OF_MEMORY);
    return nullptr;
  }
  decoder->callbacks = std::move(callbacks);
  voice::DecoderState& st = decoder->state;
  int mode = 0;
  if (const StatusCode r = vdec_open_stream(st, file, &mode)) {
    set_status(status, r);
    return nullptr;
  }
  // Decoding starts at a fixed offset, after the leading frames; where the
  // header's reading left the stream does not matter.
  if (restart(st) != status::kSuccess) {
    set_status(status, VF_ERR_NOT_POSITIONED);
    return nullptr;
  }
  set_status(status, VF_OK);
  return decoder.release();
}

void to_samples(const uint8_t* little_endian, int16_t* samples) {
  for (int i = 0; i < voice::kSamplesPerFrame; ++i)
    samples[i] = static_cast<int16_t>(little_endian[2 * i] | little_endian[2 * i + 1] << 8);
}

const char* api_error_text(int status) {
  switch (status) {
    case VF_ERR_NULL_ARGUMENT:
      return "A required argument is null";
    case VF_ERR_OUT_OF_MEMORY:
      return "Out of memory";
    case VF_ERR_INVALID_ARGUMENT:
      return "Argument out of range";
    case VF_ERR_NOT_POSITIONED:
      return "Cannot reach the first frame of the stream";
    case VF_ERR_WRITE_FAILED:
      return "Cannot write the voice file";
    case VF_ERR_NO_SAMPLES:
      return "No samples to encode";
    case VF_ERR_FINISHED:
      return "The encoder is already finished";
    default:
      return "Unknown error";
  }
}

}  // namespace

extern "C" {

VF_API const char* vf_version(void) {
  return VOICEFILE_VERSION;
}

VF_API const char* vf_status_text(int status) {
  if (status < 0) return api_error_text(status);
  // These texts name a frame or a value of the decoder that met them; with
  // no decoder at hand, the text without it.
  switch (status) {
    case status::kFrameErased:
      return "Frame Erased";
    case status::kBadFrameType:
      return "Unrecognized frame type";
    case status::kDivisionError:
      return "Division Error";
    default:
      break;
  }
  // Never formatted into, so shared by every thread.
  static voice::DecoderState plain;
  return vdec_status_text(plain, status);
}

VF_API const char* vf_mode_name(int mode) {
  const auto known = voice::mode_from_value(mode);
  return known ? voice::mode_name(*known) : nullptr;
}

VF_API vf_decoder* vf_decoder_open(const char* path, int* status) {
  if (!path) {
    set_status(status, VF_ERR_NULL_ARGUMENT);
    return nullptr;
  }
  return open_stream(std::fopen(path, "rb"), nullptr, status);
}

VF_API vf_decoder* vf_decoder_open_memory(const void* data, size_t size, int* status) {
  if (!data) {
    set_status(status, VF_ERR_NULL_ARGUMENT);
    return nullptr;
  }
  // Opened for reading only: the bytes are never written.
  return open_stream(fmemopen(const_cast<void*>(data), size, "rb"), nullptr, status);
}

VF_API vf_decoder* vf_decoder_open_callbacks(const vf_io* io, void* user, int* status) {
  if (!io || !io->read) {
    set_status(status, VF_ERR_NULL_ARGUMENT);
    return nullptr;
  }
  std::unique_ptr<voicefile::CallbackStream> callbacks(new (std::nothrow)
                                                           voicefile::CallbackStream(*io, user));
  if (!callbacks) {
    set_status(status, VF_ERR_OUT_OF_MEMORY);
    return nullptr;
  }
  std::FILE* file = callbacks->open();
  return open_stream(file, std::move(callbacks), status);
}

VF_API int vf_decoder_info(const vf_decoder* decoder, vf_info* info) {
  if (!decoder || !info) return VF_ERR_NULL_ARGUMENT;
  const voice::DecoderState& st = decoder->state;
  info->mode = st.mode;
  info->frame_bytes = st.frame_bytes;
  info->frames = st.frame_count;
  info->duration_ms = int64_t{st.frame_count} * voice::kSamplesPerFrame * 1000 / voice::kSampleRate;
  info->sample_rate = voice::kSampleRate;
  return VF_OK;
}

VF_API int vf_decoder_read(vf_decoder* decoder, int16_t* pcm, int max_frames, int* frames_read) {
  if (frames_read) *frames_read = 0;
  if (!decoder || !pcm || !frames_read) return VF_ERR_NULL_ARGUMENT;
  if (max_frames < 0) return VF_ERR_INVALID_ARGUMENT;
  voice::DecoderState& st = decoder->state;
  uint8_t bytes[voice::kPcmFrameBytes];
  for (int n = 0; n < max_frames; ++n) {
    // A frame whose decoding raised a status has been written and counted;
    // a frame that could not be read has not.
    const int32_t before = st.position;
    int32_t after = before;
    const StatusCode r = vdec_decode_frame(st, bytes, &after);
    if (after != before) {
      to_samples(bytes, pcm + static_cast<ptrdiff_t>(*frames_read) * voice::kSamplesPerFrame);
      ++*frames_read;
    }
    if (r != status::kSuccess) return r;
  }
  return VF_OK;
}

VF_API int vf_decoder_seek(vf_decoder* decoder, int64_t frame) {
  if (!decoder) return VF_ERR_NULL_ARGUMENT;
  if (frame < 0 || frame > INT32_MAX) return VF_ERR_INVALID_ARGUMENT;
  voice::DecoderState& st = decoder->state;
  // At the end of the stream only a new start clears the status; the
  // target is then reached from the first frame.
  if (frame == 0 || st.status == status::kEndOfFile) {
    if (const StatusCode r = restart(st)) return r;
  }
  const int64_t delta = frame - st.position;
  if (delta > 0) return vdec_skip_forward(st, static_cast<int>(delta));
  if (delta < 0) return vdec_skip_backward(st, static_cast<int>(-delta));
  return st.status;
}

VF_API int64_t vf_decoder_tell(const vf_decoder* decoder) {
  return decoder ? decoder->state.position : VF_ERR_NULL_ARGUMENT;
}

VF_API const char* vf_decoder_status_text(vf_decoder* decoder, int status) {
  if (!decoder || status < 0) return vf_status_text(status);
  return vdec_status_text(decoder->state, status);
}

VF_API void vf_decoder_close(vf_decoder* decoder) {
  delete decoder;
}

}  // extern "C"
