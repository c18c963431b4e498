#include "monitor_recorder.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace sound_testing {

MonitorRecorder::MonitorRecorder(const PulseServer& server, int sampleRate)
    : sampleRate_(sampleRate) {
  Launch(server);
  reader_ = std::thread([this] { ReadUntilEnd(); });
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (recorded() == 0) {
    int status = 0;
    if (Clock::now() > deadline || waitpid(pid_, &status, WNOHANG) == pid_) {
      Terminate();
      throw std::runtime_error("parec recorded nothing from " + server.monitor());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

MonitorRecorder::~MonitorRecorder() {
  Terminate();
}

// A short capture latency, so that blocks arrive soon after they were played.
void MonitorRecorder::Launch(const PulseServer& server) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("cannot make a pipe for parec");
  const std::string device = "--device=" + server.monitor();
  const std::string rate = "--rate=" + std::to_string(sampleRate_);
  const std::string address = server.address();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("cannot start parec: fork failed");
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    setenv("PULSE_SERVER", address.c_str(), 1);
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    execlp("parec", "parec", device.c_str(), "--raw", "--format=s16le", rate.c_str(),
           "--channels=1", "--latency-msec=10", nullptr);
    std::fprintf(stderr, "cannot run parec: %s\n", std::strerror(errno));
    _exit(127);
  }
  close(fds[1]);
  pipe_ = fds[0];
}

void MonitorRecorder::ReadUntilEnd() {
  uint8_t bytes[4096];
  for (;;) {
    const ssize_t n = read(pipe_, bytes, sizeof bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(mutex_);
    partial_.insert(partial_.end(), bytes, bytes + n);
    const size_t whole = partial_.size() / 2;
    for (size_t i = 0; i < whole; ++i)
      samples_.push_back(static_cast<int16_t>(partial_[2 * i] | (partial_[2 * i + 1] << 8)));
    partial_.erase(partial_.begin(), partial_.begin() + static_cast<ptrdiff_t>(2 * whole));
    if (whole > 0) blocks_.push_back({samples_.size(), now});
  }
}

void MonitorRecorder::Terminate() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (reader_.joinable()) reader_.join();
  if (pipe_ >= 0) close(pipe_);
  pipe_ = -1;
}

std::vector<int16_t> MonitorRecorder::Stop() {
  Terminate();
  std::lock_guard lock(mutex_);
  return samples_;
}

std::vector<int16_t> MonitorRecorder::Samples() const {
  std::lock_guard lock(mutex_);
  return samples_;
}

size_t MonitorRecorder::recorded() const {
  std::lock_guard lock(mutex_);
  return samples_.size();
}

MonitorRecorder::Clock::time_point MonitorRecorder::ArrivalOf(size_t index) const {
  std::lock_guard lock(mutex_);
  const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), index,
                                      [](size_t i, const Block& b) { return i < b.end; });
  if (block == blocks_.end()) return Clock::time_point::max();
  const auto later = static_cast<double>(block->end - index - 1);
  return block->arrived - std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(later / sampleRate_));
}

}  // namespace sound_testing
