// vocinfo [-q] [--json] FILE...: what the header of each voice file says, how
// much of its frame run can actually be read, and the verdict on it. It needs
// nothing but libvoicefile.
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>
#include <voicefile/voicefile.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/input_check.h"
#include "tools/standard_input.h"
#include "tools/usage.h"
#include "tools/voice_report.h"

namespace {

constexpr tools::Usage kUsage{
    "vocinfo", "[-q] [--json] FILE...",
    "Prints the coding mode, frame size, bitrate, frame count and duration of each\n"
    "voice file, how many frames can be read from its first frame on, and a verdict:\n"
    "complete, truncated after N of M frames, or damaged at frame N (counted from 0).\n"
    "FILE - reads standard input.\n"
    "\n"
    "  --json         one JSON object per file, an array of them for several files\n"
    "  -q, --quiet    no report; each file that is not complete is named on stderr\n"
    "  -h, --help     show this help\n"
    "  -V, --version  show the version\n"
    "\n"
    "Exit status: 0 when every file is complete, 1 when any is truncated, damaged or\n"
    "cannot be opened, 2 for a bad command line.\n"};

struct Options {
  bool json = false;
  bool quiet = false;
  std::vector<std::string> files;
};

// Returns the exit status when the command line ends the run (help, version,
// a usage error).
std::optional<int> parse_options(int argc, char** argv, Options& options) {
  enum { kJson = 256 };
  static const option kLong[] = {{"json", no_argument, nullptr, kJson},
                                 {"quiet", no_argument, nullptr, 'q'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {"version", no_argument, nullptr, 'V'},
                                 {nullptr, 0, nullptr, 0}};
  opterr = 0;
  for (int c = 0; (c = getopt_long(argc, argv, ":qhV", kLong, nullptr)) != -1;) {
    switch (c) {
      case kJson:
        options.json = true;
        break;
      case 'q':
        options.quiet = true;
        break;
      case 'h':
        tools::print_usage(stdout, kUsage);
        return 0;
      case 'V':
        tools::print_version(kUsage.program);
        return 0;
      default:
        return tools::bad_option(kUsage, c, argv);
    }
  }
  options.files.assign(argv + optind, argv + argc);
  if (options.files.empty()) return tools::usage_error(kUsage, "no file given");
  if (std::count(options.files.begin(), options.files.end(), "-") > 1)
    return tools::usage_error(kUsage, "standard input ('-') can be read only once");
  return std::nullopt;
}

// An open decoder, with the bytes it reads when they are held in memory.
class Input {
 public:
  Input() = default;
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input() { vf_decoder_close(decoder_); }

  vf_decoder* decoder() const { return decoder_; }

  // Returns why the file could not be opened, or nothing.
  std::optional<std::string> open(const std::string& path) {
    if (path == "-") {
      if (auto why = tools::read_standard_input(bytes_)) return why;
      return open_bytes();
    }
    if (auto why = tools::unreadable_input(path)) return why;
    if (!is_regular_file(path)) return read_stream(path);
    int status = VF_OK;
    decoder_ = vf_decoder_open(path.c_str(), &status);
    if (!decoder_) return tools::open_failure(path, vf_status_text(status));
    return std::nullopt;
  }

 private:
  static bool is_regular_file(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  }

  // A pipe or a device (/dev/stdin, a process substitution) cannot seek,
  // which the decoder needs: its bytes are read into memory, as standard
  // input is.
  std::optional<std::string> read_stream(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    auto why = tools::read_whole(fd, "the stream", bytes_);
    close(fd);
    if (why) return why;
    return open_bytes();
  }

  std::optional<std::string> open_bytes() {
    if (bytes_.empty()) return "empty file";
    int status = VF_OK;
    decoder_ = vf_decoder_open_memory(bytes_.data(), bytes_.size(), &status);
    if (!decoder_) return tools::open_failure(std::span(bytes_), vf_status_text(status));
    return std::nullopt;
  }

  std::vector<uint8_t> bytes_;
  vf_decoder* decoder_ = nullptr;
};

// What is printed, file after file: text blocks set apart by a blank line,
// or JSON objects, as an array of them for several files.
class Printer {
 public:
  explicit Printer(const Options& options)
      : options_(options), several_(options.files.size() > 1) {}

  void begin() const {
    if (options_.json && several_) std::printf("[\n");
  }
  void end() const {
    if (options_.json) std::printf(several_ ? "\n]\n" : "\n");
  }

  void error(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "vocinfo: %s: %s\n", path.c_str(), why.c_str());
    if (options_.json) json(tools::json_error(path, why));
  }

  void report(const std::string& path, const tools::VoiceReport& report) {
    if (options_.quiet && report.verdict != tools::Verdict::Complete)
      std::fprintf(stderr, "vocinfo: %s: %s\n", path.c_str(), tools::verdict_text(report).c_str());
    if (options_.json) {
      json(tools::json_report(path, report));
    } else if (!options_.quiet) {
      if (several_) std::printf("%s%s:\n", printed_++ > 0 ? "\n" : "", path.c_str());
      std::printf("%s", tools::text_report(report, several_ ? "  " : "").c_str());
    }
  }

 private:
  void json(const std::string& object) {
    const char* before = several_ ? (printed_++ > 0 ? ",\n  " : "  ") : "";
    std::printf("%s%s", before, object.c_str());
  }

  const Options& options_;
  const bool several_;
  int printed_ = 0;
};

// Returns whether the file is complete.
bool describe(const std::string& path, Printer& printer) {
  Input input;
  if (const auto why = input.open(path)) {
    printer.error(path, *why);
    return false;
  }
  const tools::VoiceReport report = tools::examine(input.decoder());
  printer.report(path, report);
  return report.verdict == tools::Verdict::Complete;
}

// Writing standard output can fail (a full disk): the exit status must not
// claim otherwise.
bool flush_output() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  std::fprintf(stderr, "vocinfo: standard output: %s\n", std::strerror(errno));
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const auto exit_status = parse_options(argc, argv, options)) return *exit_status;

  Printer printer(options);
  printer.begin();
  bool all_complete = true;
  for (const std::string& path : options.files)
    all_complete = describe(path, printer) && all_complete;
  printer.end();
  return flush_output() && all_complete ? 0 : 1;
}
