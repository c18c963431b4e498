#include "app/command_line.h"

#include <getopt.h>

#include <cstdio>

namespace app {

namespace {

constexpr option kOptions[] = {
    {"play", no_argument, nullptr, 'p'},
    {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

void PrintUsage(std::FILE* to, const char* program) {
  std::fprintf(to, "usage: %s [--play] [--help] [FILE]\n", program);
}

void PrintHelp(const char* program) {
  PrintUsage(stdout, program);
  std::printf(
      "Plays FILE, a voice file, or else the speech recording carried inside this\n"
      "program.\n"
      "  --play  press Play at start and end when the recording has ended; the exit\n"
      "          status is 0 when it played to its end, 1 when it could not. Without\n"
      "          a display (neither DISPLAY nor WAYLAND_DISPLAY set) no window is\n"
      "          shown, and messages go to standard error.\n"
      "  --help  show this help\n");
}

}  // namespace

CommandLine ParseCommandLine(int argc, char* argv[]) {
  CommandLine line;
  const char* program = argc > 0 ? argv[0] : "voiceplayer";
  optind = 0;  // a fresh scan, also for a second command line; getopt names a bad option
  for (int c = 0; (c = getopt_long(argc, argv, "", kOptions, nullptr)) != -1;) {
    if (c == 'p') {
      line.options.playThrough = true;
    } else if (c == 'h') {
      PrintHelp(program);
      line.exitStatus = 0;
      return line;
    } else {
      PrintUsage(stderr, program);
      line.exitStatus = 2;
      return line;
    }
  }
  if (optind < argc) line.options.file = argv[optind++];
  if (optind < argc) {
    std::fprintf(stderr, "%s: unexpected argument '%s'\n", program, argv[optind]);
    PrintUsage(stderr, program);
    line.exitStatus = 2;
  }
  return line;
}

}  // namespace app
