// The wave output device the player streams to: the system's default
// output, opened for one PCM format. Every call comes from the
// user-interface thread; what the device has to say arrives later as
// messages posted to the window given at Open.
#pragma once

#include <cstdint>
#include <string>

#include "playback/message.h"

namespace playback {

// 0 for success, otherwise one of the codes below (or a device's own).
using WaveResult = uint32_t;

// The classic wave-out result values, so that every device reports the same
// failure with the same number.
namespace wave_result {
inline constexpr WaveResult kOk = 0;
inline constexpr WaveResult kError = 1;
inline constexpr WaveResult kBadDevice = 2;
inline constexpr WaveResult kAllocated = 4;
inline constexpr WaveResult kInvalidHandle = 5;
inline constexpr WaveResult kNoDriver = 6;
inline constexpr WaveResult kNoMemory = 7;
inline constexpr WaveResult kStillPlaying = 33;
inline constexpr WaveResult kUnprepared = 34;
// The device stopped playing while open (see WM_WAVE_FAILED).
inline constexpr WaveResult kDeviceLost = 64;
}  // namespace wave_result

struct PcmFormat {
  uint16_t formatTag = 1;  // integer PCM
  uint16_t channels = 1;
  uint32_t samplesPerSecond = 0;
  uint32_t avgBytesPerSecond = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 16;
};

// 16-bit signed little-endian mono samples at `sampleRate`.
PcmFormat MonoPcm16(int sampleRate);

// One buffer as the device sees it. The player owns the memory; from Write
// until the buffer's done notification the device may read it at any time.
struct WaveHeader {
  uint8_t* data = nullptr;
  uint32_t bufferLength = 0;  // the bytes to play
  uint32_t flags = 0;
  uint32_t loops = 0;
};

// Capability bit: the device's volume can be set.
inline constexpr uint32_t kVolumeSupported = 4;

class AudioDevice {
 public:
  virtual ~AudioDevice() = default;

  // Opens the default output. Once open, the device posts MM_WOM_OPEN to
  // `window`, and then one MM_WOM_DONE for each written buffer, in the order
  // the buffers were written, whether played to the end or given back by
  // Reset.
  virtual WaveResult Open(const PcmFormat& format, MessageSink& window) = 0;
  virtual WaveResult Prepare(WaveHeader& header) = 0;
  virtual WaveResult Unprepare(WaveHeader& header) = 0;
  virtual WaveResult Write(WaveHeader& header) = 0;
  // Stop and continue playing, keeping the queued buffers and the position.
  virtual WaveResult Pause() = 0;
  virtual WaveResult Restart() = 0;
  // Stops playing and gives back every queued buffer.
  virtual WaveResult Reset() = 0;
  virtual WaveResult Close() = 0;
  // Bytes played since the device was opened.
  virtual WaveResult GetPosition(uint32_t& bytes) = 0;
  // Low 16 bits the left channel, high 16 bits the right, each 0 to 0xFFFF.
  virtual WaveResult SetVolume(uint32_t volume) = 0;
  virtual WaveResult GetVolume(uint32_t& volume) = 0;
  // The default output's support flags (kVolumeSupported among them); the
  // device need not be open.
  virtual WaveResult GetCapabilities(uint32_t& supportFlags) = 0;
  virtual std::string ErrorText(WaveResult code) = 0;
};

// A text for each code of wave_result, for devices with nothing better to say.
std::string DescribeWaveResult(WaveResult code);

}  // namespace playback
