#include "playback/temp_voice_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace playback {

namespace {

constexpr char kFileName[] = "temp.voc";

// Anything short of every byte written is a failed extraction: a partial
// recording would play as a truncated or corrupt voice file.
bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(written));
  }
  return true;
}

bool WriteNewFile(const std::string& path, std::span<const uint8_t> bytes) {
  // The directory is ours alone, but O_EXCL and O_NOFOLLOW keep the file
  // from ever being one that was put there before us.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes);
  const bool closed = close(fd) == 0;
  if (written && closed) return true;
  std::remove(path.c_str());
  return false;
}

}  // namespace

std::unique_ptr<TempVoiceFile> TempVoiceFile::Create(std::span<const uint8_t> bytes,
                                                     const std::string& root) {
  std::string directory = root + "/voiceplayer-XXXXXX";
  if (mkdtemp(directory.data()) == nullptr) return nullptr;  // mode 0700
  std::string path = directory + "/" + kFileName;
  if (!WriteNewFile(path, bytes)) {
    rmdir(directory.c_str());
    return nullptr;
  }
  return std::unique_ptr<TempVoiceFile>(new TempVoiceFile(std::move(directory), std::move(path)));
}

TempVoiceFile::TempVoiceFile(std::string directory, std::string path)
    : directory_(std::move(directory)), path_(std::move(path)) {}

TempVoiceFile::~TempVoiceFile() {
  std::remove(path_.c_str());
  rmdir(directory_.c_str());
}

std::string SystemTempDirectory() {
  const char* tmpdir = std::getenv("TMPDIR");
  return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

}  // namespace playback
