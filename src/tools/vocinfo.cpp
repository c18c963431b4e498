// vocinfo FILE...: what the header of each voice file says, and how much of
// its frame run can actually be read.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/tool_common.h"
#include "voice/frame_reader.h"
#include "voice/vdec.h"
#include "voice/voice_format.h"

namespace {

constexpr tools::Usage kUsage{
    "vocinfo", "FILE...",
    "Prints the coding mode, frame size, frame count and duration of each voice\n"
    "file, and how many frames can be read from its first frame on.\n"};

struct Walk {
  int64_t frames = 0;
  StatusCode ended_by = status::kSuccess;
};

// Reads without decoding: counting frames needs none, it is much quicker,
// and a damaged file is measured just the same. Forward reading always advances,
// jumps included, so the walk ends at the latest at the physical end.
Walk walk_frames(voice::DecoderState& st, const char* path) {
  Walk w;
  if (StatusCode r = vdec_restart_at(st, path, 0)) {
    w.ended_by = r;
    return w;
  }
  while ((w.ended_by = voice::read_frame(st, true)) == status::kSuccess) ++w.frames;
  return w;
}

// Frames are 10 ms, so N frames last N hundredths of a second.
void print_duration(int64_t frames) {
  const int64_t seconds = frames / 100;
  std::printf("%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%02" PRId64, seconds / 3600,
              seconds / 60 % 60, seconds % 60, frames % 100);
}

void print_mode(int value) {
  if (auto mode = voice::mode_from_value(value))
    std::printf("%s\n", voice::mode_name(*mode));
  else
    std::printf("unknown (%d)\n", value);
}

// Returns whether the file could be opened. With headings, blocks after the
// first are set apart by a blank line.
bool describe(const char* path, bool heading, int& blocks) {
  tools::OpenedVoice v = tools::open_voice(path);
  if (!v.ok()) {
    std::fprintf(stderr, "vocinfo: %s: %s\n", path, v.text(v.status));
    return false;
  }
  const voice::DecoderState& st = *v.state;
  const char* indent = heading ? "  " : "";
  if (heading) std::printf("%s%s:\n", blocks++ > 0 ? "\n" : "", path);

  std::printf("%sMode:            ", indent);
  print_mode(v.mode);
  std::printf("%sFrame size:      %d bytes\n", indent, st.frame_bytes);
  std::printf("%sFrames:          %d\n", indent, st.frame_count);
  std::printf("%sDuration:        ", indent);
  print_duration(st.frame_count);
  // 80 samples per frame at 8000 Hz, in whole seconds as the player counts;
  // 64 bits because the largest header overflows 32 once multiplied by 80.
  const int64_t shown = int64_t{st.frame_count} * voice::kSamplesPerFrame / voice::kSampleRate;
  std::printf(" (%" PRId64 " s)\n", shown);

  const Walk w = walk_frames(*v.state, path);
  std::printf("%sReadable frames: %" PRId64 "\n", indent, w.frames);
  std::printf("%sRead ended by:   status %d, %s\n", indent, w.ended_by, v.text(w.ended_by));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (tools::is_help_flag(arg)) {
      tools::print_usage(stdout, kUsage);
      return 0;
    }
    if (arg.size() > 1 && arg[0] == '-')
      return tools::usage_error(kUsage, "unknown option " + std::string(arg));
    files.push_back(argv[i]);
  }
  if (files.empty()) return tools::usage_error(kUsage, "no file given");

  const bool headings = files.size() > 1;
  bool all_opened = true;
  int blocks = 0;
  for (const char* file : files) all_opened = describe(file, headings, blocks) && all_opened;
  return all_opened ? 0 : 1;
}
