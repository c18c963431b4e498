// vocinfo FILE...: what the header of each voice file says, and how much of
// its frame run can actually be read. It needs nothing but libvoicefile.
#include <voicefile/voicefile.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tools/usage.h"

namespace {

constexpr tools::Usage kUsage{
    "vocinfo", "FILE...",
    "Prints the coding mode, frame size, frame count and duration of each voice\n"
    "file, and how many frames can be read from its first frame on.\n"};

struct Walk {
  int64_t frames = 0;
  int ended_by = VF_OK;
};

// Steps one frame at a time, reading without decoding, so damaged files are
// measured just the same. Forward reading always advances, jumps included,
// so the walk ends at the latest at the physical end.
Walk walk_frames(vf_decoder* decoder) {
  Walk w;
  while ((w.ended_by = vf_decoder_seek(decoder, vf_decoder_tell(decoder) + 1)) == VF_OK) ++w.frames;
  return w;
}

// Frames are 10 ms, so N frames last N hundredths of a second.
void print_duration(int64_t frames) {
  const int64_t seconds = frames / 100;
  std::printf("%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%02" PRId64, seconds / 3600,
              seconds / 60 % 60, seconds % 60, frames % 100);
}

void print_mode(int value) {
  if (const char* name = vf_mode_name(value))
    std::printf("%s\n", name);
  else
    std::printf("unknown (%d)\n", value);
}

// Returns whether the file could be opened. With headings, blocks after the
// first are set apart by a blank line.
bool describe(const char* path, bool heading, int& blocks) {
  int status = VF_OK;
  vf_decoder* decoder = vf_decoder_open(path, &status);
  if (!decoder) {
    std::fprintf(stderr, "vocinfo: %s: %s\n", path, vf_status_text(status));
    return false;
  }
  vf_info info{};
  vf_decoder_info(decoder, &info);
  const char* indent = heading ? "  " : "";
  if (heading) std::printf("%s%s:\n", blocks++ > 0 ? "\n" : "", path);

  std::printf("%sMode:            ", indent);
  print_mode(info.mode);
  std::printf("%sFrame size:      %d bytes\n", indent, info.frame_bytes);
  std::printf("%sFrames:          %" PRId64 "\n", indent, info.frames);
  std::printf("%sDuration:        ", indent);
  print_duration(info.frames);
  // In whole seconds, as the player counts.
  std::printf(" (%" PRId64 " s)\n", info.duration_ms / 1000);

  const Walk w = walk_frames(decoder);
  std::printf("%sReadable frames: %" PRId64 "\n", indent, w.frames);
  std::printf("%sRead ended by:   status %d, %s\n", indent, w.ended_by,
              vf_decoder_status_text(decoder, w.ended_by));
  vf_decoder_close(decoder);
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
