// Decoding speed in frames per second; real-time playback needs 100.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/voice_file_builder.h"
#include "voice/adpcm.h"
#include "voice/vdec.h"

namespace {

using testing_support::Bytes;
using testing_support::TempFile;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

constexpr int kFileFrames = 100000;

// Distinct frames, so that the predictor never settles into a cycle that
// would make the decoder look faster than on speech.
std::vector<Bytes> adpcm_frames(int count) {
  const VoiceFileBuilder builder(VoiceMode::Adpcm40);
  std::vector<Bytes> frames;
  for (int i = 0; i < count; ++i) frames.push_back(builder.make_speech_frame(i));
  return frames;
}

void report_frames(benchmark::State& state, int64_t frames) {
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

void BM_AdpcmDecodeFrame(benchmark::State& state) {
  const std::vector<Bytes> frames = adpcm_frames(1024);
  voice::AdpcmState adpcm;
  voice::adpcm_reset(adpcm);
  uint8_t pcm[voice::kPcmFrameBytes];
  int64_t decoded = 0;
  for (auto _ : state) {
    voice::adpcm_decode_frame(frames[static_cast<size_t>(decoded % 1024)].data(), adpcm, pcm);
    benchmark::DoNotOptimize(pcm);
    benchmark::ClobberMemory();
    ++decoded;
  }
  report_frames(state, decoded);
}
BENCHMARK(BM_AdpcmDecodeFrame);

// Written once per mode: at 4 MB a file takes longer to write than most
// measurements.
const TempFile& long_file(VoiceMode mode) {
  static const TempFile files[] = {
      TempFile(VoiceFileBuilder(VoiceMode::Celp56).speech_frames(kFileFrames).end_marker().bytes()),
      TempFile(VoiceFileBuilder(VoiceMode::Celp64).speech_frames(kFileFrames).end_marker().bytes()),
      TempFile(VoiceFileBuilder(VoiceMode::Celp80).speech_frames(kFileFrames).end_marker().bytes()),
      TempFile(
          VoiceFileBuilder(VoiceMode::Adpcm40).speech_frames(kFileFrames).end_marker().bytes()),
  };
  return files[static_cast<int>(mode)];
}

// The player's path: file reader, record checks and the mode's frame step.
void BM_DecodeFrameFromFile(benchmark::State& state, VoiceMode mode) {
  const TempFile& file = long_file(mode);
  voice::DecoderState st;
  StatusCode r = status::kSuccess;
  if (vdec_query(st, file.c_str(), nullptr, &r) < 0 || vdec_restart_at(st, file.c_str(), 0) != 0) {
    state.SkipWithError(vdec_status_text(st, r));
    return;
  }
  uint8_t pcm[voice::kPcmFrameBytes];
  int32_t position = 0;
  int64_t decoded = 0;
  for (auto _ : state) {
    r = vdec_decode_frame(st, pcm, &position);
    if (r == status::kEndOfFile) {
      vdec_restart_at(st, file.c_str(), 0);  // rewinding is rare enough to leave in the timing
      continue;
    }
    if (r != status::kSuccess) {
      state.SkipWithError(vdec_status_text(st, r));
      break;
    }
    benchmark::DoNotOptimize(pcm);
    ++decoded;
  }
  report_frames(state, decoded);
}
BENCHMARK_CAPTURE(BM_DecodeFrameFromFile, Adpcm40, VoiceMode::Adpcm40);
BENCHMARK_CAPTURE(BM_DecodeFrameFromFile, Celp80, VoiceMode::Celp80);
BENCHMARK_CAPTURE(BM_DecodeFrameFromFile, Celp64, VoiceMode::Celp64);
BENCHMARK_CAPTURE(BM_DecodeFrameFromFile, Celp56, VoiceMode::Celp56);

}  // namespace

BENCHMARK_MAIN();
