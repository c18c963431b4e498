#include "tools/usage.h"

#include <getopt.h>

#include <cctype>
#include <string>

#include "project_version.h"

namespace tools {

namespace {

std::string_view first_line(std::string_view text) {
  return text.substr(0, text.find('\n'));
}

}  // namespace

void print_usage(std::FILE* out, const Usage& usage) {
  std::fprintf(out, "usage: %.*s %.*s\n", static_cast<int>(usage.program.size()),
               usage.program.data(), static_cast<int>(usage.synopsis.size()),
               usage.synopsis.data());
  if (!usage.details.empty())
    std::fprintf(out, "\n%.*s", static_cast<int>(usage.details.size()), usage.details.data());
}

void print_version(std::string_view program) {
  std::printf("%.*s (voiceplayer) %s\n", static_cast<int>(program.size()), program.data(),
              PROJECT_VERSION_TEXT);
}

int usage_error(const Usage& usage, std::string_view message) {
  const auto program = static_cast<int>(usage.program.size());
  const std::string_view synopsis = first_line(usage.synopsis);
  std::fprintf(stderr, "%.*s: %.*s\nusage: %.*s %.*s\nTry '%.*s --help'.\n", program,
               usage.program.data(), static_cast<int>(message.size()), message.data(), program,
               usage.program.data(), static_cast<int>(synopsis.size()), synopsis.data(), program,
               usage.program.data());
  return kUsageExit;
}

int bad_option(const Usage& usage, int returned, char* const argv[]) {
  // optind has moved past the offending argument, except inside a group of
  // short options; a long option is named as written, without its "=value".
  const std::string_view last = argv[optind - 1];
  const std::string written(last.substr(0, last.find('=')));
  const bool is_long = last.starts_with("--");
  const std::string short_name = std::string("-") + static_cast<char>(optopt);
  if (returned == ':')
    return usage_error(usage, "option '" + (is_long ? written : short_name) + "' needs a value");
  if (optopt == 0) return usage_error(usage, "unknown option '" + written + "'");
  if (is_long && last.find('=') != std::string_view::npos)
    return usage_error(usage, "option '" + written + "' takes no value");
  return usage_error(usage, "unknown option '" + short_name + "'");
}

bool same_name(std::string_view name, std::string_view lower_case_name) {
  if (name.size() != lower_case_name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(name[i])) != lower_case_name[i]) return false;
  return true;
}

}  // namespace tools
