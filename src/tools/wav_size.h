// Whether a decoded recording still fits a plain RIFF WAV file, whose RIFF
// and data chunk sizes are 32-bit: past 4 GiB vocdec writes RF64 instead.
#pragma once

#include <cstdint>

#include "voice/voice_format.h"

namespace tools {

// What libsndfile writes before the samples of a 16-bit mono WAV: the RIFF
// header (12 bytes), the fmt chunk (8 + 16) and the data chunk's header (8).
inline constexpr int64_t kWavHeaderBytes = 44;
// The largest WAV file taken as safe: its size, less the 8 bytes before
// the RIFF size field, would still fit, and so does the data chunk's size.
inline constexpr int64_t kWavMaxFileBytes = 0xFFFFFFFF;

// Whether `data_bytes` of samples fit a plain WAV file.
constexpr bool wav_fits(int64_t data_bytes) {
  return data_bytes <= kWavMaxFileBytes - kWavHeaderBytes;
}

// Whether decoding `frames` frames (the count the voice file's header gives,
// known before decoding starts) into 16-bit WAV needs RF64.
constexpr bool wav_needs_rf64(int64_t frames) {
  return !wav_fits(frames * voice::kPcmFrameBytes);
}

}  // namespace tools
