// Records what a sink plays: parec on the sink's monitor, 16-bit mono at a
// chosen rate, read through a pipe as it arrives. Each block read is stamped
// with the time it arrived, so that the time a sample was played can be
// estimated (it is known to have been played by then).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pulse_server.h"

namespace sound_testing {

class MonitorRecorder {
 public:
  using Clock = std::chrono::steady_clock;

  // Starts recording and returns once the first samples have arrived.
  // Throws std::runtime_error when parec cannot record.
  MonitorRecorder(const PulseServer& server, int sampleRate);
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  // Ends the recording and returns every sample recorded.
  std::vector<int16_t> Stop();
  size_t recorded() const;
  // Every sample recorded so far, while the recording goes on.
  std::vector<int16_t> Samples() const;
  // When sample `index` had arrived: the arrival of its block, less the
  // duration of the samples after it in that block.
  Clock::time_point ArrivalOf(size_t index) const;
  int sample_rate() const { return sampleRate_; }

 private:
  struct Block {
    size_t end;  // samples recorded once the block had arrived
    Clock::time_point arrived;
  };

  void Launch(const PulseServer& server);
  void ReadUntilEnd();
  void Terminate();

  const int sampleRate_;
  pid_t pid_ = -1;
  int pipe_ = -1;
  std::thread reader_;
  mutable std::mutex mutex_;
  std::vector<int16_t> samples_;
  std::vector<Block> blocks_;
  std::vector<uint8_t> partial_;  // an odd byte left over from a read
};

}  // namespace sound_testing
