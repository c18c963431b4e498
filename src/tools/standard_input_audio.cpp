#include "tools/standard_input_audio.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>

#include "tools/standard_input.h"

namespace tools {
namespace {

// Enough of the start to tell WAV ("RIFF", size, "WAVE") and AU (".snd").
constexpr size_t kHeadBytes = 12;

// Reads up to `n` bytes, fewer only at the end of the input; nothing on an error.
std::optional<std::vector<uint8_t>> read_head(size_t n) {
  std::vector<uint8_t> head(n);
  size_t have = 0;
  while (have < n) {
    const ssize_t got = ::read(STDIN_FILENO, head.data() + have, n - have);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    have += static_cast<size_t>(got);
  }
  head.resize(have);
  return head;
}

bool streams_from_a_pipe(const std::vector<uint8_t>& head) {
  const std::string_view text(reinterpret_cast<const char*>(head.data()), head.size());
  const bool wav =
      text.size() == kHeadBytes && text.starts_with("RIFF") && text.substr(8, 4) == "WAVE";
  return wav || text.starts_with(".snd");
}

bool write_all(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// Feeds `to` the head already read, then the rest of standard input. When
// the reader stops early, the write fails with EPIPE: the signal, blocked
// on this thread, does not end the process.
void relay(std::vector<uint8_t> head, int to) {
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
  bool ok = write_all(to, head.data(), head.size());
  uint8_t chunk[1 << 16];
  while (ok) {
    const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    ok = write_all(to, chunk, static_cast<size_t>(got));
  }
  ::close(to);
}

bool is_regular_file(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

SNDFILE* StandardInputAudio::open(SF_INFO& info, std::string& error) {
  if (is_regular_file(STDIN_FILENO)) {
    SNDFILE* file = sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE);
    if (!file) error = sf_strerror(nullptr);
    return file;
  }
  const auto head = read_head(kHeadBytes);
  if (!head) {
    error = std::strerror(errno);
    return nullptr;
  }
  if (head->empty()) {
    error = "empty";
    return nullptr;
  }
  if (!streams_from_a_pipe(*head)) {
    bytes_ = *head;
    return open_in_memory(info, error);
  }
  // libsndfile reads a pipe's stream as it comes, but the head is out of
  // standard input already: a pipe of our own gives it back in front.
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  // Left to run: the process ends with it blocked on a silent writer.
  std::thread(relay, *head, ends[1]).detach();
  SNDFILE* file = sf_open_fd(ends[0], SFM_READ, &info, SF_TRUE);
  if (!file) error = sf_strerror(nullptr);
  return file;
}

SNDFILE* StandardInputAudio::open_in_memory(SF_INFO& info, std::string& error) {
  std::vector<uint8_t> rest;
  if (const auto why = read_standard_input(rest, kStandardInputLimit)) {
    // Stopped within a read of the limit: the limit it is, said with the
    // formats that have none.
    const bool too_long = rest.size() + (size_t{1} << 16) > kStandardInputLimit;
    error = too_long ? "more than " + std::to_string(kStandardInputLimit >> 20) +
                           " MiB, which only WAV, AU and --raw samples may be from a pipe; "
                           "name the file instead"
                     : *why;
    return nullptr;
  }
  bytes_.insert(bytes_.end(), rest.begin(), rest.end());
  SF_VIRTUAL_IO io{length, seek, read, nullptr, tell};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, this);
  if (!file) error = sf_strerror(nullptr);
  return file;
}

sf_count_t StandardInputAudio::length(void* self) {
  return static_cast<sf_count_t>(static_cast<StandardInputAudio*>(self)->bytes_.size());
}

sf_count_t StandardInputAudio::seek(sf_count_t offset, int whence, void* self) {
  auto& in = *static_cast<StandardInputAudio*>(self);
  const sf_count_t size = length(self);
  const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? in.position_ : size;
  const sf_count_t to = base + offset;
  if (to < 0) return -1;
  in.position_ = std::min(to, size);
  return in.position_;
}

sf_count_t StandardInputAudio::read(void* to, sf_count_t count, void* self) {
  auto& in = *static_cast<StandardInputAudio*>(self);
  const sf_count_t n = std::clamp<sf_count_t>(length(self) - in.position_, 0, count);
  std::memcpy(to, in.bytes_.data() + in.position_, static_cast<size_t>(n));
  in.position_ += n;
  return n;
}

sf_count_t StandardInputAudio::tell(void* self) {
  return static_cast<StandardInputAudio*>(self)->position_;
}

}  // namespace tools
