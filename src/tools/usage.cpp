#include "tools/usage.h"

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

}  // namespace tools
