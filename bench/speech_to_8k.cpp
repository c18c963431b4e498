// speech_to_8k INPUT OUTPUT.wav: any audio file as the 16-bit mono speech at
// 8000 Hz that vocenc would encode from it (same mixing, same resampler), so
// that quality is measured against exactly what the encoder was given.
#include <sndfile.h>

#include <cstdint>
#include <cstdio>

#include "tools/speech_input.h"
#include "voice/voice_format.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: speech_to_8k INPUT OUTPUT.wav\n");
    return 2;
  }
  tools::SpeechInput input(argv[1], false);
  if (!input.opened()) {
    std::fprintf(stderr, "speech_to_8k: %s: %s\n", argv[1], input.error.c_str());
    return 1;
  }
  SF_INFO info{};
  info.samplerate = voice::kSampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* out = sf_open(argv[2], SFM_WRITE, &info);
  if (!out) {
    std::fprintf(stderr, "speech_to_8k: %s: %s\n", argv[2], sf_strerror(nullptr));
    return 1;
  }
  int16_t frame[voice::kSamplesPerFrame];
  bool written = true;
  while (written && input.next_frame(frame))
    written = sf_write_short(out, frame, voice::kSamplesPerFrame) == voice::kSamplesPerFrame;
  const bool closed = sf_close(out) == 0;
  if (!input.error.empty() || !written || !closed) {
    std::fprintf(stderr, "speech_to_8k: %s\n",
                 !input.error.empty() ? input.error.c_str() : "cannot write the output");
    return 1;
  }
  return 0;
}
