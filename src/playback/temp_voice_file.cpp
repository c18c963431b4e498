#include "playback/temp_voice_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace playback {

namespace {

constexpr char kFileName[] = "temp.voc";
constexpr std::string_view kDirectoryPrefix = "voiceplayer-";
constexpr size_t kUniqueSuffixLength = 6;  // mkdtemp's XXXXXX

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

// The owner's process id in "voiceplayer-<pid>-XXXXXX", or 0 when `name`
// is not of that form.
pid_t OwnerOf(std::string_view name) {
  if (!name.starts_with(kDirectoryPrefix)) return 0;
  name.remove_prefix(kDirectoryPrefix.size());
  if (name.size() < kUniqueSuffixLength + 2) return 0;
  const size_t dash = name.size() - kUniqueSuffixLength - 1;
  if (name[dash] != '-') return 0;
  pid_t pid = 0;
  const char* end = name.data() + dash;
  const auto [stop, error] = std::from_chars(name.data(), end, pid);
  if (error != std::errc() || stop != end || pid <= 0) return 0;
  return pid;
}

// Only "no such process" counts: a process of another user answers EPERM
// and is running.
bool IsGone(pid_t pid) {
  return kill(pid, 0) != 0 && errno == ESRCH;
}

// The directory is opened without following a link and checked as opened,
// so what is emptied is the very directory that was checked. Only a regular
// temp.voc is removed; anything else in it keeps the directory.
void RemoveStaleDirectory(int rootFd, const char* name) {
  const int fd = openat(rootFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  struct stat directory {};
  struct stat file {};
  const bool ours = fstat(fd, &directory) == 0 && directory.st_uid == geteuid();
  if (ours && fstatat(fd, kFileName, &file, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(file.st_mode))
    unlinkat(fd, kFileName, 0);
  close(fd);
  if (ours) unlinkat(rootFd, name, AT_REMOVEDIR);  // fails unless it is empty now
}

}  // namespace

std::unique_ptr<TempVoiceFile> TempVoiceFile::Create(std::span<const uint8_t> bytes,
                                                     const std::string& root) {
  std::string directory =
      root + "/" + std::string(kDirectoryPrefix) + std::to_string(getpid()) + "-XXXXXX";
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

void RemoveStaleVoiceDirectories(const std::string& root) {
  DIR* entries = opendir(root.c_str());
  if (entries == nullptr) return;
  const int rootFd = dirfd(entries);
  while (const dirent* entry = readdir(entries)) {
    const pid_t owner = OwnerOf(entry->d_name);
    if (owner == 0 || !IsGone(owner)) continue;
    struct stat st {};
    if (fstatat(rootFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) continue;
    RemoveStaleDirectory(rootFd, entry->d_name);
  }
  closedir(entries);
}

std::string SystemTempDirectory() {
  const char* tmpdir = std::getenv("TMPDIR");
  return tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
}

}  // namespace playback
