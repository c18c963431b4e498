// A program a test runs and watches: in a process group of its own, with the
// environment the test gives it and its output (stdout and stderr) kept in a
// file. Whatever is still running in its group when the object goes is
// killed, so that a failed test leaves no process behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sound_testing {

// Variables to set, or to remove (no value), on top of this process's own.
using EnvironmentChanges = std::vector<std::pair<std::string, std::optional<std::string>>>;

class ChildProcess {
 public:
  // Throws std::runtime_error when the program cannot be started.
  ChildProcess(const std::vector<std::string>& argv, const EnvironmentChanges& changes,
               const std::string& outputPath);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  void Signal(int signal) const;
  // Its exit status, or 128 + the signal that killed it, once it has ended;
  // none if it still runs after `timeout`.
  std::optional<int> WaitFor(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
};

}  // namespace sound_testing
