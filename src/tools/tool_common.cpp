#include "tools/tool_common.h"

#include "voice/vdec.h"

namespace tools {

void print_usage(std::FILE* out, const Usage& usage) {
  std::fprintf(out, "usage: %.*s %.*s\n", static_cast<int>(usage.program.size()),
               usage.program.data(), static_cast<int>(usage.synopsis.size()),
               usage.synopsis.data());
  if (!usage.details.empty())
    std::fprintf(out, "\n%.*s", static_cast<int>(usage.details.size()), usage.details.data());
}

bool is_help_flag(std::string_view arg) {
  return arg == "-h" || arg == "--help";
}

int usage_error(const Usage& usage, std::string_view message) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(usage.program.size()), usage.program.data(),
               static_cast<int>(message.size()), message.data());
  print_usage(stderr, usage);
  return kUsageExit;
}

const char* OpenedVoice::text(StatusCode code) const {
  return vdec_status_text(*state, code);
}

OpenedVoice open_voice(const char* path) {
  OpenedVoice v;
  v.state = std::make_unique<voice::DecoderState>();
  v.status = vdec_open(*v.state, path, &v.mode);
  return v;
}

}  // namespace tools
