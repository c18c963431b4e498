#include "tools/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tools {
namespace {

mode_t current_umask() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

bool is_same_file(const std::string& input, const std::string& output) {
  if (output == "-") return false;
  struct stat out {
  }, in{};
  // Only a regular file is replaced; reading and writing one device is no loss.
  if (::stat(output.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) return false;
  const int r = input == "-" ? ::fstat(STDIN_FILENO, &in) : ::stat(input.c_str(), &in);
  return r == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

OutputFile::OutputFile(const std::string& path, std::string_view program) : final_(path) {
  struct stat sb {};
  const bool exists = ::stat(path.c_str(), &sb) == 0;
  if (exists && !S_ISREG(sb.st_mode)) {
    fd_ = ::open(path.c_str(), O_WRONLY);
    if (fd_ < 0) error = std::strerror(errno);
    return;
  }
  // Through a symbolic link, replace the file it names, not the link.
  if (exists) {
    std::error_code ec;
    final_ = std::filesystem::canonical(final_, ec);
    if (ec) {
      error = ec.message();
      return;
    }
  }
  create_temporary(exists ? sb.st_mode & 07777 : 0666 & ~current_umask(), program);
}

OutputFile::~OutputFile() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

int OutputFile::take_fd() {
  return std::exchange(fd_, -1);
}

std::FILE* OutputFile::take_stream() {
  const int fd = take_fd();
  if (fd < 0) return nullptr;
  std::FILE* out = ::fdopen(fd, "wb");
  if (!out) {
    error = std::strerror(errno);
    ::close(fd);
  }
  return out;
}

bool OutputFile::commit() {
  if (temporary_.empty()) return true;
  if (std::rename(temporary_.c_str(), final_.c_str()) != 0) {
    error = std::strerror(errno);
    return false;
  }
  temporary_.clear();
  return true;
}

// mkstemp creates the file private; `mode` is what the output should get:
// that of the file it replaces, or what a plainly created file would get.
void OutputFile::create_temporary(mode_t mode, std::string_view program) {
  std::filesystem::path dir = final_.parent_path();
  if (dir.empty()) dir = ".";
  const std::string leaf =
      "." + final_.filename().string() + "." + std::string(program) + "-XXXXXX";
  std::string name = (dir / leaf).string();
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) {
    error = std::strerror(errno);
    return;
  }
  temporary_ = name;
  (void)::fchmod(fd_, mode);
}

}  // namespace tools
