// Command-line conventions the tools share, no part of the codec, so that a
// tool on the shared library alone can use them: --help on stdout, --version,
// and a usage error as one usage line and a pointer to --help, exit 2.
#pragma once

#include <cstdio>
#include <string_view>

namespace tools {

// Exit status for a command line the tool cannot make sense of.
inline constexpr int kUsageExit = 2;

struct Usage {
  std::string_view program;
  std::string_view synopsis;  // what follows the program name; may span lines
  std::string_view details;   // further lines, may be empty
};

// The whole help: every synopsis line, then the details.
void print_usage(std::FILE* out, const Usage& usage);

// "program (voiceplayer) 0.1.0" on stdout.
void print_version(std::string_view program);

// Prints "program: message", the first synopsis line and "Try 'program
// --help'." on stderr; returns the usage exit status so callers can
// `return usage_error(...)`.
int usage_error(const Usage& usage, std::string_view message);

// For a getopt_long loop run with an option string that starts with ':' and
// opterr = 0: the usage error for what getopt returned ('?' or ':'), naming
// the option from optopt or, for a long option, from argv.
int bad_option(const Usage& usage, int returned, char* const argv[]);

// Whether `name` is `lower_case_name` in any mix of cases.
bool same_name(std::string_view name, std::string_view lower_case_name);

}  // namespace tools
