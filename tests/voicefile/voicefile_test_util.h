// Whole decodings and encodings through the public interface, for the
// library's tests.
#pragma once

#include <voicefile/voicefile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "support/speech_like.h"

namespace testing_support {

struct Decoded {
  std::vector<int16_t> samples;
  int status = VF_OK;  // the one that ended the reading
};

// Reads `decoder` to its end in blocks of a few frames, then closes it.
inline Decoded read_to_end(vf_decoder* decoder) {
  Decoded d;
  int16_t block[7 * VF_SAMPLES_PER_FRAME];
  int frames = 0;
  do {
    d.status = vf_decoder_read(decoder, block, 7, &frames);
    d.samples.insert(d.samples.end(), block, block + frames * VF_SAMPLES_PER_FRAME);
  } while (d.status == VF_OK);
  vf_decoder_close(decoder);
  return d;
}

inline Decoded decode_file(const char* path) {
  int status = VF_OK;
  vf_decoder* decoder = vf_decoder_open(path, &status);
  if (!decoder) return {{}, status};
  return read_to_end(decoder);
}

// Synthetic speech as the encoder takes it.
inline std::vector<int16_t> speech_samples(double seconds) {
  std::vector<int16_t> samples;
  for (double x : speech_like(VF_SAMPLE_RATE, seconds))
    samples.push_back(static_cast<int16_t>(std::lrint(x * 32767)));
  return samples;
}

// Encodes `samples` into the voice file `path`, fed in pieces of `piece`
// samples; returns the first status that is not VF_OK.
inline int encode_file(int mode, const std::vector<int16_t>& samples, const char* path,
                       size_t piece = 333) {
  int status = VF_OK;
  vf_encoder* encoder = vf_encoder_create(mode, &status);
  for (size_t i = 0; encoder && status == VF_OK && i < samples.size(); i += piece)
    status = vf_encoder_write(encoder, samples.data() + i, std::min(piece, samples.size() - i));
  if (status == VF_OK) status = vf_encoder_finish(encoder, path);
  vf_encoder_close(encoder);
  return status;
}

}  // namespace testing_support
