// Runs a built command-line tool and captures what it says and how it exits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

// Runs `program args...` through the shell (which std::system uses); `setup` is shell code run
// first (resource limits), `redirect` replaces the capture of standard output.
Outcome run(const char* program, const std::vector<std::string>& args,
            const std::string& setup = "", const std::string& redirect = "");

std::string shell_quoted(const std::string& s);

struct Audio {
  int format = 0;
  std::vector<int16_t> samples;
};

// A file the tools wrote: 16-bit mono at 8000 Hz, as every decoded output is.
Audio read_audio(const std::string& path);

}  // namespace testing_support
