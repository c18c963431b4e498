#include "app/command_line.h"

#include <getopt.h>

#include <cstdio>

#include "project_version.h"

namespace app {

namespace {

constexpr option kOptions[] = {
    {"play", no_argument, nullptr, 'p'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"pack", required_argument, nullptr, 'k'},
    {nullptr, 0, nullptr, 0},
};

void PrintUsage(std::FILE* to, const char* program) {
  std::fprintf(to,
               "usage: %s [--play] [--help] [--version] [FILE]\n"
               "       %s --pack RECORDING.voc OUTPUT\n",
               program, program);
}

// A refused command line: getopt has named the fault already.
void PrintTry(const char* program) {
  PrintUsage(stderr, program);
  std::fprintf(stderr, "Try '%s --help'.\n", program);
}

void PrintHelp(const char* program) {
  PrintUsage(stdout, program);
  std::printf(
      "Plays FILE, a voice file, or else the speech recording carried inside this\n"
      "program.\n"
      "      --play     press Play at start and end when the recording has ended; the\n"
      "                 exit status is 0 when it played to its end, 1 when it could\n"
      "                 not. Without a display (neither DISPLAY nor WAYLAND_DISPLAY\n"
      "                 set) no window is shown, and messages go to standard error.\n"
      "      --pack RECORDING.voc OUTPUT\n"
      "                 write OUTPUT, a copy of this player that plays RECORDING.voc\n"
      "                 instead of its own recording\n"
      "  -h, --help     show this help\n"
      "  -V, --version  show the version\n");
}

}  // namespace

CommandLine ParseCommandLine(int argc, char* argv[]) {
  CommandLine line;
  const char* program = argc > 0 ? argv[0] : "voiceplayer";
  optind = 0;  // a fresh scan, also for a second command line; getopt names a bad option
  for (int c = 0; (c = getopt_long(argc, argv, "hV", kOptions, nullptr)) != -1;) {
    if (c == 'p') {
      line.options.playThrough = true;
    } else if (c == 'k') {
      line.pack = PackPaths{optarg, {}};
    } else if (c == 'h') {
      PrintHelp(program);
      line.exitStatus = 0;
      return line;
    } else if (c == 'V') {
      std::printf("voiceplayer %s\n", PROJECT_VERSION_TEXT);
      line.exitStatus = 0;
      return line;
    } else {
      PrintTry(program);
      line.exitStatus = 2;
      return line;
    }
  }
  if (line.pack && optind + 1 == argc) {
    line.pack->output = argv[optind++];
  } else if (line.pack) {
    std::fprintf(stderr, "%s: --pack takes a recording and an output file\n", program);
    PrintTry(program);
    line.exitStatus = 2;
    return line;
  } else if (optind < argc) {
    line.options.file = argv[optind++];
  }
  if (optind < argc) {
    std::fprintf(stderr, "%s: unexpected argument '%s'\n", program, argv[optind]);
    PrintTry(program);
    line.exitStatus = 2;
  }
  return line;
}

}  // namespace app
