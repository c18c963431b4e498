// A regular output file is written under a temporary name next to it and
// renamed into place only once complete, so that no failure leaves a
// half-written file behind (or destroys an older one). Other outputs, such as
// devices and pipes, are written directly.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tools {

// Whether `output` exists and is the very file `input` is (the same device
// and inode, however either is spelled); `input` "-" is standard input.
bool is_same_file(const std::string& input, const std::string& output);

class OutputFile {
 public:
  // `program` names the temporary file, so that a leftover tells who made it.
  OutputFile(const std::string& path, std::string_view program);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The descriptor to write to, handed over once; -1 when opening failed.
  int take_fd();
  // The same as a stdio stream for binary writing, handed over once; null
  // when opening failed (then `error` says why).
  std::FILE* take_stream();
  // Makes the finished output visible under its name.
  bool commit();
  std::string error;

 private:
  void create_temporary(mode_t mode, std::string_view program);

  std::filesystem::path final_;
  std::string temporary_;
  int fd_ = -1;
};

}  // namespace tools
