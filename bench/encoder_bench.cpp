// Encoding speed in frames per second, one core; authoring at 50 times real
// time needs 5000. The input is vowel-like speech with a gliding pitch, so
// the searches see changing lags and spectra.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "encoder/celp_test_signals.h"
#include "encoder/frame_encoder.h"

namespace {

using voice::VoiceMode;

void BM_CelpEncodeFrame(benchmark::State& state) {
  const auto mode = static_cast<VoiceMode>(state.range(0));
  const std::vector<int16_t> pcm = celp_test::voiced_speech(8000 * 4);
  const auto encoder = encoder::MakeFrameEncoder(mode);
  uint8_t frame[voice::kMaxFrameBytes];
  size_t at = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    encoder->EncodeFrame(&pcm[at], frame);
    benchmark::DoNotOptimize(frame);
    at = (at + 80) % pcm.size();
    ++frames;
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  state.SetLabel(voice::mode_name(mode));
}
BENCHMARK(BM_CelpEncodeFrame)
    ->Arg(static_cast<int>(VoiceMode::Celp56))
    ->Arg(static_cast<int>(VoiceMode::Celp64))
    ->Arg(static_cast<int>(VoiceMode::Celp80));

}  // namespace

BENCHMARK_MAIN();
