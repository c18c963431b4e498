// The encoding half of the C interface: what vocenc does with its input,
// fed by the caller. The only file of the library that knows the encoder's
// insides.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "encoder/frame_encoder.h"
#include "encoder/voice_file_writer.h"
#include "voice/voice_format.h"
#include "voicefile/voicefile.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

struct vf_encoder {
  std::unique_ptr<encoder::FrameEncoder> frames;
  // The file grows here: the writer seeks back to the header at the end.
  std::unique_ptr<std::FILE, FileCloser> file;
  std::optional<encoder::VoiceFileWriter> writer;
  std::vector<uint8_t> frame;
  int16_t pending[voice::kSamplesPerFrame] = {};
  int pending_count = 0;
  int64_t samples = 0;
  bool finished = false;
};

namespace {

void set_status(int* status, int value) {
  if (status) *status = value;
}

int encode_frame(vf_encoder& e, const int16_t* pcm) {
  e.frames->EncodeFrame(pcm, e.frame.data());
  return e.writer->append(e.frame) ? VF_OK : VF_ERR_WRITE_FAILED;
}

int create(voice::VoiceMode mode, std::unique_ptr<vf_encoder>& e) {
  const auto leading = encoder::silent_leading_frames(mode);
  e->frames = encoder::MakeFrameEncoder(mode);
  if (!leading || !e->frames) return VF_ERR_INVALID_ARGUMENT;
  e->file.reset(std::tmpfile());
  if (!e->file) return VF_ERR_WRITE_FAILED;
  e->writer.emplace(e->file.get(), mode);
  e->frame.resize(static_cast<size_t>(e->writer->frame_bytes()));
  return e->writer->begin(*leading) ? VF_OK : VF_ERR_WRITE_FAILED;
}

int write_samples(vf_encoder& e, const int16_t* pcm, size_t samples) {
  for (size_t i = 0; i < samples; ++i) {
    e.pending[e.pending_count++] = pcm[i];
    ++e.samples;
    if (e.pending_count < voice::kSamplesPerFrame) continue;
    e.pending_count = 0;
    if (const int r = encode_frame(e, e.pending)) return r;
  }
  return VF_OK;
}

// The last frame padded with silence, then silence until the last sample
// has come out of the decoder, so that the encoder's look-ahead does not cut
// the recording.
int encode_tail(vf_encoder& e) {
  if (e.pending_count > 0) {
    std::fill(e.pending + e.pending_count, std::end(e.pending), int16_t{0});
    e.pending_count = 0;
    if (const int r = encode_frame(e, e.pending)) return r;
  }
  const int16_t silence[voice::kSamplesPerFrame] = {};
  const int64_t wanted = e.samples + e.frames->DelaySamples();
  while (e.writer->frames() * voice::kSamplesPerFrame < wanted)
    if (const int r = encode_frame(e, silence)) return r;
  return VF_OK;
}

int hand_over(std::FILE* file, int (*write)(const void*, size_t, void*), void* user) {
  if (std::fflush(file) != 0 || std::fseek(file, 0, SEEK_SET) != 0) return VF_ERR_WRITE_FAILED;
  char chunk[4096];
  size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
    if (write(chunk, n, user) != 0) return VF_ERR_WRITE_FAILED;
  return std::ferror(file) ? VF_ERR_WRITE_FAILED : VF_OK;
}

int finish(vf_encoder& e, int (*write)(const void*, size_t, void*), void* user) {
  if (e.finished) return VF_ERR_FINISHED;
  e.finished = true;
  if (e.samples == 0) return VF_ERR_NO_SAMPLES;
  if (const int r = encode_tail(e)) return r;
  if (!e.writer->finish()) return VF_ERR_WRITE_FAILED;
  return hand_over(e.file.get(), write, user);
}

int write_to_file(const void* data, size_t size, void* user) {
  return std::fwrite(data, 1, size, static_cast<std::FILE*>(user)) == size ? 0 : -1;
}

}  // namespace

extern "C" {

VF_API vf_encoder* vf_encoder_create(int mode, int* status) {
  const auto voice_mode = voice::mode_from_value(mode);
  if (!voice_mode) {
    set_status(status, VF_ERR_INVALID_ARGUMENT);
    return nullptr;
  }
  try {
    auto e = std::make_unique<vf_encoder>();
    const int r = create(*voice_mode, e);
    set_status(status, r);
    return r == VF_OK ? e.release() : nullptr;
  } catch (...) {  // only allocations throw
    set_status(status, VF_ERR_OUT_OF_MEMORY);
    return nullptr;
  }
}

VF_API int vf_encoder_write(vf_encoder* encoder, const int16_t* pcm, size_t samples) {
  if (!encoder || (!pcm && samples > 0)) return VF_ERR_NULL_ARGUMENT;
  if (encoder->finished) return VF_ERR_FINISHED;
  try {
    return write_samples(*encoder, pcm, samples);
  } catch (...) {  // only allocations throw
    return VF_ERR_OUT_OF_MEMORY;
  }
}

VF_API int vf_encoder_finish_callback(vf_encoder* encoder,
                                      int (*write)(const void* data, size_t size, void* user),
                                      void* user) {
  if (!encoder || !write) return VF_ERR_NULL_ARGUMENT;
  try {
    return finish(*encoder, write, user);
  } catch (...) {  // only allocations throw
    return VF_ERR_OUT_OF_MEMORY;
  }
}

VF_API int vf_encoder_finish(vf_encoder* encoder, const char* path) {
  if (!encoder || !path) return VF_ERR_NULL_ARGUMENT;
  if (encoder->finished) return VF_ERR_FINISHED;
  // Opened first: a path that cannot be written leaves the encoder to try
  // another one.
  std::FILE* out = std::fopen(path, "wb");
  if (!out) return VF_ERR_WRITE_FAILED;
  const int r = vf_encoder_finish_callback(encoder, write_to_file, out);
  const bool closed = std::fclose(out) == 0;
  return r == VF_OK && !closed ? VF_ERR_WRITE_FAILED : r;
}

VF_API void vf_encoder_close(vf_encoder* encoder) {
  delete encoder;
}

}  // extern "C"
