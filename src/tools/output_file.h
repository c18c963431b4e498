// A regular output file is written under a temporary name next to it and
// renamed into place only once complete, so that no failure leaves a
// half-written file behind (or destroys an older one). Through a symbolic
// link, dangling or not, the file the link names is written and the link
// stays. An existing file with further hard links is rewritten in place once
// the temporary is complete, so that every link sees the new content. A
// read-only existing file is replaced only when forced, and a set-user-ID or
// set-group-ID bit never passes to the new file.
//
// Other outputs, such as devices and pipes, are written directly; for a
// writer that seeks, a pipe (and "-", standard output) gets the whole output
// through an anonymous temporary, copied out once complete.
//
// SIGINT, SIGTERM, SIGHUP and SIGXFSZ remove the named temporaries (of every
// OutputFile alive, on any thread) before they end the process (unless the
// process started with them ignored).
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tools {

struct OutputOptions {
  bool force = false;     // replace a read-only existing file
  bool seekable = false;  // the writer seeks back: stage a pipe's output
};

// Whether `output` exists and is the very file `input` is (the same device
// and inode, however either is spelled); `input` "-" is standard input.
bool is_same_file(const std::string& input, const std::string& output);

class OutputFile {
 public:
  // `program` names the temporary file, so that a leftover tells who made it.
  // `path` "-" is standard output.
  OutputFile(const std::string& path, std::string_view program, OutputOptions options = {});
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The descriptor to write to, handed over once; -1 when opening failed.
  int take_fd();
  // The same as a stdio stream for binary writing, handed over once; null
  // when opening failed (then `error` says why).
  std::FILE* take_stream();
  // Makes the finished output visible under its name; call it once the
  // descriptor or stream taken is closed.
  bool commit();
  std::string error;

 private:
  enum class Kind { Direct, Rename, InPlace, CopyOut };

  void create_temporary(mode_t mode, std::string_view program);
  void create_anonymous_temporary();
  bool rename_into_place();
  bool rewrite_in_place();
  bool copy_out();
  void forget_temporary();

  Kind kind_ = Kind::Direct;
  bool force_ = false;
  std::filesystem::path final_;
  std::string temporary_;
  int slot_ = -1;  // where a signal finds the temporary's name
  int fd_ = -1;
  int staged_fd_ = -1;  // CopyOut: the anonymous temporary, to read it back
  int target_fd_ = -1;  // CopyOut: where it goes
  bool owns_target_ = false;
};

}  // namespace tools
