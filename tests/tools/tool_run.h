// Runs a built command-line tool and captures what it says and how it exits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct Outcome {
  int exit_code = -1;  // -1 when a signal ended the program
  std::string out, err;
  int signal = 0;  // the signal that ended it, if one did
};

// Runs `program args...` through the shell (which std::system uses); `setup` is shell code run
// first (resource limits), `redirect` replaces the capture of standard output.
Outcome run(const char* program, const std::vector<std::string>& args,
            const std::string& setup = "", const std::string& redirect = "");

std::string shell_quoted(const std::string& s);

// Runs `program args...` with the file at `input_path` piped into its
// standard input (a pipe, which cannot seek, rather than the file itself).
Outcome run_piped(const char* program, const std::vector<std::string>& args,
                  const std::string& input_path);

// run()'s `setup` that gives the program the file at `path` as standard input.
std::string standard_input_from(const std::string& path);

// The built tools, run with `args`.
Outcome vocdec(const std::vector<std::string>& args);
Outcome vocenc(const std::vector<std::string>& args);
Outcome vocinfo(const std::vector<std::string>& args);

// Writes `bytes` as the whole file at `path`.
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);

struct Audio {
  int format = 0;
  std::vector<int16_t> samples;
};

// A folder of its own, so that leftovers can be counted.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  long entries() const;

 private:
  std::string path_;
};

struct VoiceInfo {
  int32_t frames = -1;
  int mode = -1;
  std::vector<std::vector<uint8_t>> run;  // the frames read from the first one on
};

// A voice file as the player's reader sees it.
VoiceInfo read_voice(const std::string& path);

// A file the tools wrote: 16-bit mono at 8000 Hz, as every decoded output is.
Audio read_audio(const std::string& path);

}  // namespace testing_support
