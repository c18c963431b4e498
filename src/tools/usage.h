// Usage handling the command-line tools share; no part of the codec, so that
// a tool on the shared library alone can use it.
#pragma once

#include <cstdio>
#include <string_view>

namespace tools {

// Exit status for a command line the tool cannot make sense of.
inline constexpr int kUsageExit = 2;

struct Usage {
  std::string_view program;
  std::string_view synopsis;  // what follows the program name
  std::string_view details;   // further lines, may be empty
};

void print_usage(std::FILE* out, const Usage& usage);

bool is_help_flag(std::string_view arg);

// Prints "program: message" on stderr and a pointer to --help; returns the
// usage exit status so callers can `return usage_error(...)`.
int usage_error(const Usage& usage, std::string_view message);

}  // namespace tools
