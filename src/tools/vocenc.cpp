// vocenc [--mode MODE] [--raw] INPUT OUTPUT.voc: encodes speech into a voice
// file, from any audio file libsndfile reads or from bare samples.
// vocenc --from-g729 8000|6400 INPUT OUTPUT.voc: stores a G.729 bitstream's
// frames in a voice file as they are. INPUT and OUTPUT - are the standard
// streams; with -o DIR, every INPUT becomes DIR/<name>.voc, several at once.
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/frame_encoder.h"
#include "encoder/voice_file_writer.h"
#include "tools/batch.h"
#include "tools/g729_import.h"
#include "tools/input_check.h"
#include "tools/output_file.h"
#include "tools/speech_input.h"
#include "tools/standard_input.h"
#include "tools/tool_common.h"
#include "voice/voice_format.h"

namespace {

constexpr tools::Usage kUsage{
    "vocenc",
    "[-qf] [-m MODE] [--raw] INPUT OUTPUT.voc\n"
    "       vocenc [-qf] [-j N] [-m MODE] [--raw] -o DIR INPUT...\n"
    "       vocenc [-qf] --from-g729 8000|6400 INPUT OUTPUT.voc\n"
    "       vocenc -h | -V",
    "Encodes the speech in INPUT into the voice file OUTPUT.voc. INPUT is any audio\n"
    "file libsndfile reads; it is mixed to mono and resampled to 8000 Hz; samples\n"
    "beyond full scale, infinite or NaN are clipped (NaN to silence) and counted on\n"
    "stderr.\n"
    "\n"
    "  -m, --mode MODE       celp56 (the default), celp64, celp80 or adpcm40, in any\n"
    "                        mix of cases\n"
    "      --raw             INPUT holds bare 16-bit little-endian mono samples at\n"
    "                        8000 Hz; an odd byte at its end is ignored with a warning\n"
    "      --from-g729 RATE  INPUT is a packed G.729 bitstream (RATE 8000: 10-byte\n"
    "                        frames; 6400: 8-byte Annex D frames; fields most\n"
    "                        significant bit first), stored as it is, without\n"
    "                        re-encoding, in a celp80 or celp64 file. A frame of all\n"
    "                        zero bits cannot be stored and is an error, as is a\n"
    "                        partial last frame; a length that fits the other rate's\n"
    "                        frames is named. vocdec --g729 gives such a bitstream back\n"
    "  -o, --output-dir DIR  encode every INPUT into DIR/<INPUT's name>.voc (DIR is\n"
    "                        created when missing); a failing INPUT is reported and\n"
    "                        the others go on; the exit status is 1 if any failed\n"
    "  -j, --jobs N          with -o, encode N files at once (default: one per core)\n"
    "  -f, --force           replace a read-only OUTPUT.voc\n"
    "  -q, --quiet           errors only: no progress line, no clipping or odd-byte\n"
    "                        warnings\n"
    "  -h, --help            this help\n"
    "  -V, --version         the version\n"
    "\n"
    "INPUT - reads standard input: a file redirected to it is read as that file;\n"
    "from a pipe, WAV, AU and bare samples (--raw) are encoded as they come, and\n"
    "any other format is read whole first, up to 256 MiB. OUTPUT - writes the\n"
    "voice file to standard output once it is complete; a terminal is refused\n"
    "(exit status 2).\n"
    "OUTPUT.voc appears only once complete; a failure leaves an older file as it was.\n"
    "Through a symbolic link the file it names is written; a file with more hard\n"
    "links is rewritten in place. INPUT itself is never replaced.\n"
    "Exit status: 0 done, 1 failed, 2 usage error.\n"};

struct Options {
  voice::VoiceMode mode = voice::VoiceMode::Celp56;
  bool mode_given = false;
  bool raw = false;
  bool force = false;
  bool quiet = false;
  std::optional<tools::G729Rate> from_g729;
  std::optional<std::string> output_dir;
  std::optional<int> jobs;
  std::vector<std::string> inputs;
  std::string output;  // of a single INPUT
};

std::string lower_name(voice::VoiceMode mode) {
  std::string name = voice::mode_name(mode);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::optional<voice::VoiceMode> mode_named(std::string_view name) {
  for (int v = 0; v <= 3; ++v) {
    const auto mode = static_cast<voice::VoiceMode>(v);
    if (tools::same_name(name, lower_name(mode))) return mode;
  }
  return std::nullopt;
}

std::optional<tools::G729Rate> rate_named(std::string_view text) {
  int bps = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), bps);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return tools::g729_rate_from_bps(bps);
}

enum LongOnly { kRaw = 256, kFromG729 };

constexpr option kLongOptions[] = {{"help", no_argument, nullptr, 'h'},
                                   {"version", no_argument, nullptr, 'V'},
                                   {"quiet", no_argument, nullptr, 'q'},
                                   {"force", no_argument, nullptr, 'f'},
                                   {"mode", required_argument, nullptr, 'm'},
                                   {"raw", no_argument, nullptr, kRaw},
                                   {"from-g729", required_argument, nullptr, kFromG729},
                                   {"output-dir", required_argument, nullptr, 'o'},
                                   {"jobs", required_argument, nullptr, 'j'},
                                   {nullptr, 0, nullptr, 0}};

// One option; returns an exit status to stop with, or -1 to go on.
int take_option(int option, const char* value, Options& opt) {
  switch (option) {
    case 'h':
      tools::print_usage(stdout, kUsage);
      return 0;
    case 'V':
      tools::print_version("vocenc");
      return 0;
    case 'q':
      opt.quiet = true;
      return -1;
    case 'f':
      opt.force = true;
      return -1;
    case kRaw:
      opt.raw = true;
      return -1;
    case 'm':
      if (const auto mode = mode_named(value)) {
        opt.mode = *mode;
        opt.mode_given = true;
        return -1;
      }
      return tools::usage_error(
          kUsage, "unknown mode '" + std::string(value) + "'; celp56, celp64, celp80 or adpcm40");
    case kFromG729:
      opt.from_g729 = rate_named(value);
      if (opt.from_g729) return -1;
      return tools::usage_error(kUsage,
                                "--from-g729 takes 8000 or 6400, not '" + std::string(value) + "'");
    case 'o':
      opt.output_dir = value;
      return -1;
    case 'j':
      opt.jobs = tools::parse_thread_count(value);
      if (opt.jobs) return -1;
      return tools::usage_error(
          kUsage, "--jobs takes a whole number from 1, not '" + std::string(value) + "'");
  }
  return -1;
}

// Returns an exit status to stop with, or -1 to go on.
int parse(int argc, char** argv, Options& opt) {
  opterr = 0;
  for (int c; (c = getopt_long(argc, argv, ":hVqfm:o:j:", kLongOptions, nullptr)) != -1;) {
    if (c == '?' || c == ':') return tools::bad_option(kUsage, c, argv);
    if (const int exit_code = take_option(c, optarg, opt); exit_code >= 0) return exit_code;
  }
  std::vector<std::string> positional(argv + optind, argv + argc);
  if (opt.from_g729 && (opt.mode_given || opt.raw))
    return tools::usage_error(kUsage, "--from-g729 takes neither --mode nor --raw");
  if (opt.output_dir) {
    if (positional.empty()) return tools::usage_error(kUsage, "-o DIR needs at least one INPUT");
    opt.inputs = std::move(positional);
    return -1;
  }
  if (opt.jobs) return tools::usage_error(kUsage, "--jobs goes with -o DIR");
  if (positional.size() != 2)
    return tools::usage_error(
        kUsage, positional.size() > 2 ? "several INPUTs need -o DIR" : "expected INPUT and OUTPUT");
  opt.inputs = {positional[0]};
  opt.output = positional[1];
  return -1;
}

int fail(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "vocenc: %s: %s\n", what.c_str(), why.c_str());
  return 1;
}

std::string stream_name(const std::string& path, const char* standard) {
  return path == "-" ? standard : path;
}

// One INPUT to encode into one OUTPUT.
struct Job {
  std::string input, output;
  bool progress = false;  // a progress line on the terminal; off when several run at once

  std::string input_name() const { return stream_name(input, "standard input"); }
  std::string output_name() const { return stream_name(output, "standard output"); }
};

// A line on the terminal that follows a long encoding; nothing when stderr
// is a file or a pipe, whose readers want the errors only.
class Progress {
 public:
  Progress(double total_seconds, bool wanted)
      : total_(total_seconds),
        shown_(wanted && isatty(STDERR_FILENO) &&
               (total_seconds == 0 || total_seconds >= kLongInput)) {}
  ~Progress() {
    if (drawn_) std::fputc('\n', stderr);
  }
  void frame_done(int64_t frames) {
    if (!shown_ || frames % 100 != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    draw(frames);
  }
  // The last line shows the whole length, however recently one was drawn.
  void finished(int64_t frames) {
    if (drawn_) draw(frames);
  }

 private:
  static constexpr double kLongInput = 10;

  void draw(int64_t frames) {
    drawn_ = true;
    const double done = static_cast<double>(frames) / 100;
    if (total_ > 0)
      std::fprintf(stderr, "\rvocenc: %.0f s of %.0f s encoded (%.0f%%)", done, total_,
                   100 * std::min(1.0, done / total_));
    else
      std::fprintf(stderr, "\rvocenc: %.0f s encoded", done);
  }

  double total_;
  bool shown_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_{};
};

// Encodes every frame of the input into the writer; returns what went
// wrong, or nothing.
std::optional<std::string> encode_all(tools::SpeechInput& input,
                                      encoder::FrameEncoder& frame_encoder,
                                      encoder::VoiceFileWriter& writer, const Job& job) {
  Progress progress(input.seconds(), job.progress);
  int16_t pcm[voice::kSamplesPerFrame];
  std::vector<uint8_t> frame(static_cast<size_t>(writer.frame_bytes()));
  while (input.next_frame(pcm)) {
    frame_encoder.EncodeFrame(pcm, frame.data());
    if (!writer.append(frame)) return job.output_name() + ": " + writer.error();
    progress.frame_done(writer.frames());
  }
  if (!input.error.empty()) {
    progress.finished(writer.frames());
    return job.input_name() + ": " + input.error;
  }
  // Silence after the input until its last sample has come out of the
  // decoder, so that the encoder's look-ahead does not cut the recording.
  std::fill(std::begin(pcm), std::end(pcm), int16_t{0});
  const int64_t wanted = input.samples_delivered() + frame_encoder.DelaySamples();
  while (input.samples_delivered() > 0 && writer.frames() * voice::kSamplesPerFrame < wanted) {
    frame_encoder.EncodeFrame(pcm, frame.data());
    if (!writer.append(frame)) return job.output_name() + ": " + writer.error();
  }
  progress.finished(writer.frames());
  if (writer.frames() == 0) return job.input_name() + ": no audio to encode";
  return std::nullopt;
}

// Fills the writer with frames; returns what went wrong, or nothing.
using FrameSource = std::function<std::optional<std::string>(encoder::VoiceFileWriter&)>;

// Writes the voice file of `mode` with the frames `fill` gives. The caller
// opens its input first, so that a bad input never creates an output.
int write_voice_file(const Options& opt, const Job& job, voice::VoiceMode mode,
                     const FrameSource& fill) {
  const auto leading = encoder::silent_leading_frames(mode);
  if (!leading) return fail(lower_name(mode), "this mode has no encoder yet");
  // The writer seeks back to the header at the end: a pipe or standard
  // output gets the file through a temporary, once it is complete.
  tools::OutputFile file(job.output, "vocenc", {.force = opt.force, .seekable = true});
  const std::string name = job.output_name();
  std::FILE* out = file.take_stream();
  if (!out) return fail(name, file.error);
  encoder::VoiceFileWriter writer(out, mode);
  std::optional<std::string> problem;
  if (!writer.begin(*leading))
    problem = name + ": " + writer.error();
  else
    problem = fill(writer);
  if (!problem && !writer.finish()) problem = name + ": " + writer.error();
  const bool closed = std::fclose(out) == 0;
  if (!problem && !closed) problem = name + ": " + std::strerror(errno);
  if (!problem && !file.commit()) problem = name + ": " + file.error;
  if (problem) {
    std::fprintf(stderr, "vocenc: %s\n", problem->c_str());
    return 1;
  }
  return 0;
}

void warn_about_input(const Options& opt, const Job& job, const tools::SpeechInput& input) {
  if (opt.quiet) return;
  const std::string name = job.input_name();
  if (const int64_t n = input.out_of_range(); n > 0)
    std::fprintf(stderr, "vocenc: %s: %lld sample%s out of range %s clipped\n", name.c_str(),
                 static_cast<long long>(n), n == 1 ? "" : "s", n == 1 ? "was" : "were");
  if (input.odd_trailing_byte())
    std::fprintf(stderr, "vocenc: %s: odd trailing byte ignored\n", name.c_str());
}

// Each file gets an encoder of its own: nothing of one file's encoding
// reaches another's, on whatever thread.
int encode(const Options& opt, const Job& job) {
  std::unique_ptr<encoder::FrameEncoder> frame_encoder = encoder::MakeFrameEncoder(opt.mode);
  if (!frame_encoder) return fail(lower_name(opt.mode), "this mode has no encoder yet");
  tools::SpeechInput input(job.input, opt.raw);
  if (!input.opened()) return fail(job.input_name(), input.error);
  const int exit_code = write_voice_file(opt, job, opt.mode, [&](encoder::VoiceFileWriter& writer) {
    return encode_all(input, *frame_encoder, writer, job);
  });
  warn_about_input(opt, job, input);
  return exit_code;
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != stdin) std::fclose(f);
  }
};

int wrap_g729(const Options& opt, const Job& job, tools::G729Rate rate) {
  const std::unique_ptr<std::FILE, FileCloser> in(
      job.input == "-" ? stdin : std::fopen(job.input.c_str(), "rb"));
  if (!in) return fail(job.input, std::strerror(errno));
  return write_voice_file(
      opt, job, tools::voice_mode_of(rate), [&](encoder::VoiceFileWriter& writer) {
        return tools::import_g729(in.get(), rate, writer, job.input_name(), job.output_name());
      });
}

int convert(const Options& opt, const Job& job) {
  if (job.input != "-")
    if (const auto why = tools::unreadable_input(job.input)) return fail(job.input, *why);
  if (tools::is_same_file(job.input, job.output))
    return fail(job.output, job.input == "-" ? "is standard input; give another OUTPUT"
                                             : "is the input file; give another OUTPUT");
  if (opt.from_g729) return wrap_g729(opt, job, *opt.from_g729);
  return encode(opt, job);
}

int convert_all(const Options& opt) {
  std::vector<tools::BatchJob> jobs;
  if (const auto why = tools::plan_batch(opt.inputs, *opt.output_dir, ".voc", jobs)) {
    std::fprintf(stderr, "vocenc: %s\n", why->c_str());
    return 1;
  }
  const int threads = opt.jobs.value_or(tools::default_thread_count());
  const int failed = tools::run_batch(jobs, threads, [&](const tools::BatchJob& job) {
    return convert(opt, {job.input, job.output}) == 0;
  });
  return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (const int exit_code = parse(argc, argv, opt); exit_code >= 0) return exit_code;
  if (opt.output_dir) return convert_all(opt);
  if (opt.output == "-" && tools::refuse_terminal_output("vocenc")) return tools::kUsageExit;
  return convert(opt, {opt.inputs[0], opt.output, !opt.quiet});
}
