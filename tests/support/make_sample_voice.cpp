// make_sample_voice OUTPUT: writes a three-second Adpcm40 voice file holding
// three soft tones, to serve as the project's sample recording.
//
// The codes are found by searching: for each sample, every candidate code is
// tried on a copy of the decoder's state and the one whose output comes
// closest to the target wave is kept, so the file decodes to that wave as
// well as this decoder can follow it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "support/voice_file_builder.h"
#include "voice/adpcm.h"
#include "voice/voice_format.h"

namespace {

constexpr int kSeconds = 3;
constexpr double kNotesHz[kSeconds] = {440.0, 554.37, 659.26};  // A major arpeggio
constexpr double kPeak = 8000.0;
constexpr double kFadeSamples = 400.0;  // 50 ms, so no note starts or stops with a click

double target(int n) {
  const int note = n / voice::kSampleRate;
  const int in_note = n % voice::kSampleRate;
  const double fade =
      std::min({1.0, in_note / kFadeSamples, (voice::kSampleRate - in_note) / kFadeSamples});
  return kPeak * fade *
         std::sin(2.0 * std::numbers::pi * kNotesHz[note] * in_note / voice::kSampleRate);
}

// Code 0 is left out: code 15 decodes exactly like it, and without it no
// nibble is zero, so no frame or half frame can read as a zero frame (which
// the reader would take for an end marker, a jump or a realignment).
int closest_code(const voice::AdpcmState& state, double wanted) {
  int best = 15;
  double best_error = INFINITY;
  for (int code = 1; code < 16; ++code) {
    voice::AdpcmState trial = state;
    const double error = std::abs(voice::adpcm_decode(code, trial) - wanted);
    if (error < best_error) best_error = error, best = code;
  }
  return best;
}

testing_support::Bytes encode_frame(voice::AdpcmState& state, int first_sample) {
  testing_support::Bytes frame(voice::kSamplesPerFrame / 2);
  for (int i = 0; i < voice::kSamplesPerFrame; ++i) {
    const int code = closest_code(state, target(first_sample + i));
    voice::adpcm_decode(code, state);
    frame[i / 2] |= static_cast<uint8_t>(i % 2 == 0 ? code : code << 4);
  }
  return frame;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample_voice OUTPUT\n");
    return 2;
  }
  testing_support::VoiceFileBuilder file(voice::VoiceMode::Adpcm40);
  voice::AdpcmState state;
  voice::adpcm_reset(state);  // as the decoder does on open
  const int frames = kSeconds * voice::kSampleRate / voice::kSamplesPerFrame;
  for (int f = 0; f < frames; ++f) file.frame(encode_frame(state, f * voice::kSamplesPerFrame));
  file.end_marker();
  file.write(argv[1]);
  return 0;
}
