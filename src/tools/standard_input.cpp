#include "tools/standard_input.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tools {

std::optional<std::string> read_standard_input(std::vector<uint8_t>& bytes, size_t limit) {
  return read_whole(STDIN_FILENO, "standard input", bytes, limit);
}

std::optional<std::string> read_whole(int fd, std::string_view what, std::vector<uint8_t>& bytes,
                                      size_t limit) {
  bytes.clear();
  uint8_t chunk[1 << 16];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got == 0) return std::nullopt;
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::strerror(errno);
    }
    if (bytes.size() + static_cast<size_t>(got) > limit)
      return std::string(what) + " holds more than " + std::to_string(limit >> 20) +
             " MiB; name the file instead";
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
}

bool refuse_terminal_output(std::string_view program) {
  if (!isatty(STDOUT_FILENO)) return false;
  std::fprintf(stderr,
               "%.*s: standard output is a terminal, which binary audio would garble; "
               "redirect it to a file or a pipe\n",
               static_cast<int>(program.size()), program.data());
  return true;
}

}  // namespace tools
