#include "loud_recording.h"

#include <cmath>
#include <random>
#include <stdexcept>

#include "support/voice_file_builder.h"
#include "voice/vdec.h"

namespace sound_testing {

namespace {

std::vector<int16_t> DecodeWhole(const std::vector<uint8_t>& file) {
  const testing_support::TempFile voice(file);
  voice::DecoderState st;
  int mode = 0;
  if (vdec_open(st, voice.c_str(), &mode) != 0 || vdec_restart_at(st, voice.c_str(), 0) != 0)
    throw std::runtime_error("cannot open the recording to decode it");
  std::vector<int16_t> samples;
  uint8_t pcm[voice::kPcmFrameBytes];
  int32_t position = 0;
  while (vdec_decode_frame(st, pcm, &position) == status::kSuccess)
    for (int i = 0; i < voice::kPcmFrameBytes; i += 2)
      samples.push_back(static_cast<int16_t>(pcm[i] | (pcm[i + 1] << 8)));
  return samples;
}

}  // namespace

LoudRecording MakeLoudRecording(voice::VoiceMode mode, int frames, unsigned seed) {
  testing_support::VoiceFileBuilder builder(mode);
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(1, 255);  // never an all-zero frame
  for (int f = 0; f < frames; ++f) {
    testing_support::Bytes frame(static_cast<size_t>(builder.frame_bytes()));
    for (uint8_t& b : frame) b = static_cast<uint8_t>(byte(random));
    builder.frame(frame);
  }
  LoudRecording recording;
  recording.file = builder.end_marker().bytes();
  recording.decoded = DecodeWhole(recording.file);
  return recording;
}

double QuietestBlockRms(std::span<const int16_t> samples, size_t block) {
  double quietest = INFINITY;
  for (size_t start = 0; start < samples.size(); start += block) {
    const size_t n = std::min(block, samples.size() - start);
    double sum = 0;
    for (size_t i = start; i < start + n; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    quietest = std::min(quietest, std::sqrt(sum / static_cast<double>(n)));
  }
  return quietest;
}

std::optional<std::span<const uint8_t>> RecordingInMemory::FindResource(const std::string& type,
                                                                        int id) const {
  if (type != playback::kVoiceResourceType || id != playback::kVoiceResourceId) return std::nullopt;
  return std::span<const uint8_t>(file_);
}

}  // namespace sound_testing
