#include "app/pack_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "app/packed_recording.h"
#include "tools/output_file.h"
#include "voice/vdec.h"
#include "voice/voice_format.h"

namespace app {

namespace {

// Voice files hold speech at a few kilobytes a second: this is days of it,
// and keeps a mistaken RECORDING from being read into memory whole.
constexpr off_t kMaxRecordingBytes = off_t{256} << 20;

// A closed descriptor however the function that opened it returns.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool ReadAll(int fd, std::span<uint8_t> to) {
  while (!to.empty()) {
    const ssize_t n = ::read(fd, to.data(), to.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    to = to.subspan(static_cast<size_t>(n));
  }
  return true;
}

bool WriteAll(int fd, std::span<const uint8_t> from) {
  while (!from.empty()) {
    const ssize_t n = ::write(fd, from.data(), from.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    from = from.subspan(static_cast<size_t>(n));
  }
  return true;
}

// A regular file only: a pipe or a device named by mistake could block or
// never end.
std::string ReadRecording(const std::string& path, std::vector<uint8_t>& bytes) {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat file {};
  if (fd.get() < 0 || ::fstat(fd.get(), &file) != 0) return path + ": " + std::strerror(errno);
  if (!S_ISREG(file.st_mode)) return path + ": not a regular file";
  if (file.st_size > kMaxRecordingBytes) return path + ": too large for a voice file";
  bytes.resize(static_cast<size_t>(file.st_size));
  if (!ReadAll(fd.get(), bytes)) return path + ": cannot be read";
  return {};
}

// The voice file signature, then the test the player applies before it
// plays: the decoder opens the bytes and finds frames in them. The decoder
// reads only header bytes 16 to 31, and would take many other files.
std::string CheckVoiceFile(const std::string& path, std::vector<uint8_t>& bytes) {
  const std::string refused = path + ": not a voice file the player can play: ";
  const std::string_view start(reinterpret_cast<const char*>(bytes.data()),
                               std::min(bytes.size(), voice::kMagic.size() + 1));
  if (start != std::string(voice::kMagic) + '\0')
    return refused + "it lacks the voice file signature";
  std::FILE* stream = ::fmemopen(bytes.data(), bytes.size(), "rb");
  if (stream == nullptr) return path + ": " + std::strerror(errno);
  voice::DecoderState decoder;
  int mode = 0;
  StatusCode opened = vdec_open_stream(decoder, stream, &mode);
  const int32_t frames = vdec_query(decoder, nullptr, &mode, &opened);
  if (opened != status::kSuccess) return refused + vdec_status_text(decoder, opened);
  if (frames <= 0) return refused + "it holds no frames";
  return {};
}

// The running program up to the end of its image: a packed player packs
// anew without the recording it carries.
std::string CopyProgramImage(int to) {
  const Descriptor self(::open("/proc/self/exe", O_RDONLY | O_CLOEXEC));
  if (self.get() < 0) return std::string("cannot read this program: ") + std::strerror(errno);
  const auto imageEnd = ProgramImageEnd(self.get());
  if (!imageEnd) return "cannot find where this program's image ends";
  std::vector<uint8_t> buffer(1 << 16);
  for (uint64_t left = *imageEnd; left > 0;) {
    const auto chunk = std::span(buffer).first(std::min<uint64_t>(left, buffer.size()));
    if (!ReadAll(self.get(), chunk)) return "cannot read this program";
    if (!WriteAll(to, chunk)) return std::strerror(errno);
    left -= chunk.size();
  }
  return {};
}

// Executable by whoever may read it.
void MakeExecutable(int fd) {
  struct stat file {};
  if (::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) return;
  const mode_t mode = file.st_mode & 07777;
  (void)::fchmod(fd, mode | ((mode & 0444) >> 2));
}

std::string WritePackedPlayer(const PackPaths& paths, std::span<const uint8_t> recording) {
  tools::OutputFile output(paths.output, "voiceplayer");
  const int fd = output.take_fd();
  if (fd < 0) return paths.output + ": " + output.error;
  std::string error = CopyProgramImage(fd);
  const auto trailer = PackTrailer(recording);
  if (error.empty() && (!WriteAll(fd, recording) || !WriteAll(fd, trailer)))
    error = std::strerror(errno);
  if (error.empty()) MakeExecutable(fd);
  if (::close(fd) != 0 && error.empty()) error = std::strerror(errno);
  if (!error.empty()) return paths.output + ": " + error;
  if (!output.commit()) return paths.output + ": " + output.error;
  return {};
}

std::string Pack(const PackPaths& paths) {
  if (tools::is_same_file(paths.recording, paths.output))
    return paths.output + ": is the recording itself";
  std::vector<uint8_t> recording;
  std::string error = ReadRecording(paths.recording, recording);
  if (error.empty()) error = CheckVoiceFile(paths.recording, recording);
  if (error.empty()) error = WritePackedPlayer(paths, recording);
  return error;
}

}  // namespace

int RunPackCommand(const char* program, const PackPaths& paths) {
  const std::string error = Pack(paths);
  if (error.empty()) return 0;
  std::fprintf(stderr, "%s: %s\n", program, error.c_str());
  return 1;
}

}  // namespace app
