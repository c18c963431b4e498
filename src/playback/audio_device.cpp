#include "playback/audio_device.h"

namespace playback {

PcmFormat MonoPcm16(int sampleRate) {
  PcmFormat format;
  format.samplesPerSecond = static_cast<uint32_t>(sampleRate);
  format.blockAlign = static_cast<uint16_t>(format.channels * format.bitsPerSample / 8);
  format.avgBytesPerSecond = format.samplesPerSecond * format.blockAlign;
  return format;
}

std::string DescribeWaveResult(WaveResult code) {
  switch (code) {
    case wave_result::kOk:
      return "The command completed successfully.";
    case wave_result::kBadDevice:
      return "There is no audio output device.";
    case wave_result::kAllocated:
      return "The audio output device is already in use.";
    case wave_result::kInvalidHandle:
      return "The audio output device is not open.";
    case wave_result::kNoDriver:
      return "There is no driver for the audio output device.";
    case wave_result::kNoMemory:
      return "There is not enough memory for the audio output device.";
    case wave_result::kStillPlaying:
      return "The audio output device is still playing.";
    case wave_result::kUnprepared:
      return "The audio buffer has not been prepared.";
    case wave_result::kDeviceLost:
      return "The audio output device stopped playing.";
    default:
      return "The audio output device reported error " + std::to_string(code) + ".";
  }
}

}  // namespace playback
