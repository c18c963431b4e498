// vocenc [--mode MODE] [--raw] INPUT OUTPUT.voc: encodes speech into a voice
// file, from any audio file libsndfile reads or from bare samples.
// vocenc --from-g729 8000|6400 INPUT OUTPUT.voc: stores a G.729 bitstream's
// frames in a voice file as they are. OUTPUT - is standard output.
#include <unistd.h>

#include <algorithm>
#include <cctype>
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
#include "tools/g729_import.h"
#include "tools/output_file.h"
#include "tools/speech_input.h"
#include "tools/tool_common.h"
#include "voice/voice_format.h"

namespace {

constexpr tools::Usage kUsage{
    "vocenc",
    "[--mode celp56|celp64|celp80|adpcm40] [--raw] [--force] INPUT OUTPUT.voc\n"
    "       vocenc --from-g729 8000|6400 [--force] INPUT OUTPUT.voc",
    "Encodes the speech in INPUT into the voice file OUTPUT.voc (mode celp56 unless\n"
    "--mode says otherwise). INPUT is any audio file libsndfile reads; it is mixed\n"
    "to mono and resampled to 8000 Hz; samples beyond full scale, infinite or NaN\n"
    "are clipped (NaN to silence) and counted on stderr. With --raw, INPUT holds\n"
    "bare 16-bit little-endian mono samples at 8000 Hz; INPUT - reads standard\n"
    "input.\n"
    "With --from-g729, INPUT is a packed G.729 bitstream (10-byte frames at 8000\n"
    "bit/s, 8-byte Annex D frames at 6400 bit/s, fields most significant bit\n"
    "first) whose frames are stored as they are, without re-encoding, in a celp80\n"
    "or celp64 file. A frame of all zero bits cannot be stored and is an error, as\n"
    "is a partial last frame. vocdec --g729 gives such a bitstream back.\n"
    "OUTPUT.voc appears only once complete; a failure leaves an older file as it was.\n"
    "Through a symbolic link the file it names is written; a file with more hard\n"
    "links is rewritten in place. A read-only OUTPUT.voc is replaced only with\n"
    "--force (-f); INPUT itself never. OUTPUT - writes the voice file to standard\n"
    "output, as a pipe does, once it is complete.\n"};

struct Options {
  voice::VoiceMode mode = voice::VoiceMode::Celp56;
  bool mode_given = false;
  bool raw = false;
  bool force = false;
  std::optional<tools::G729Rate> from_g729;
  std::string input;
  std::string output;
};

std::optional<voice::VoiceMode> mode_named(std::string_view name) {
  for (int v = 0; v <= 3; ++v) {
    const auto mode = static_cast<voice::VoiceMode>(v);
    std::string lower = voice::mode_name(mode);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name == lower) return mode;
  }
  return std::nullopt;
}

std::optional<tools::G729Rate> rate_named(std::string_view text) {
  int bps = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), bps);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return tools::g729_rate_from_bps(bps);
}

int parse(int argc, char** argv, Options& opt) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (tools::is_help_flag(arg)) {
      tools::print_usage(stdout, kUsage);
      return 0;
    }
    if (arg == "--raw") {
      opt.raw = true;
    } else if (arg == "--force" || arg == "-f") {
      opt.force = true;
    } else if (arg == "--mode") {
      if (++i == argc) return tools::usage_error(kUsage, "--mode needs a value");
      const auto mode = mode_named(argv[i]);
      if (!mode) return tools::usage_error(kUsage, "unknown mode " + std::string(argv[i]));
      opt.mode = *mode;
      opt.mode_given = true;
    } else if (arg == "--from-g729") {
      if (++i == argc) return tools::usage_error(kUsage, "--from-g729 needs 8000 or 6400");
      const std::string_view bps = argv[i];
      opt.from_g729 = rate_named(bps);
      if (!opt.from_g729)
        return tools::usage_error(kUsage,
                                  "--from-g729 takes 8000 or 6400, not " + std::string(bps));
    } else if (arg.size() > 1 && arg[0] == '-') {
      return tools::usage_error(kUsage, "unknown option " + std::string(arg));
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.size() != 2) return tools::usage_error(kUsage, "expected INPUT and OUTPUT");
  if (opt.from_g729 && (opt.mode_given || opt.raw))
    return tools::usage_error(kUsage, "--from-g729 takes neither --mode nor --raw");
  opt.input = positional[0];
  opt.output = positional[1];
  return -1;
}

int fail(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "vocenc: %s: %s\n", what.c_str(), why.c_str());
  return 1;
}

std::string output_name(const Options& opt) {
  return opt.output == "-" ? "standard output" : opt.output;
}

// A line on the terminal that follows a long encoding; nothing when stderr
// is a file or a pipe, whose readers want the errors only.
class Progress {
 public:
  explicit Progress(double total_seconds)
      : total_(total_seconds),
        shown_(isatty(STDERR_FILENO) && (total_seconds == 0 || total_seconds >= kLongInput)) {}
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
                                      encoder::VoiceFileWriter& writer, const Options& opt) {
  Progress progress(input.seconds());
  int16_t pcm[voice::kSamplesPerFrame];
  std::vector<uint8_t> frame(static_cast<size_t>(writer.frame_bytes()));
  while (input.next_frame(pcm)) {
    frame_encoder.EncodeFrame(pcm, frame.data());
    if (!writer.append(frame)) return output_name(opt) + ": " + writer.error();
    progress.frame_done(writer.frames());
  }
  if (!input.error.empty()) {
    progress.finished(writer.frames());
    return opt.input + ": " + input.error;
  }
  // Silence after the input until its last sample has come out of the
  // decoder, so that the encoder's look-ahead does not cut the recording.
  std::fill(std::begin(pcm), std::end(pcm), int16_t{0});
  const int64_t wanted = input.samples_delivered() + frame_encoder.DelaySamples();
  while (input.samples_delivered() > 0 && writer.frames() * voice::kSamplesPerFrame < wanted) {
    frame_encoder.EncodeFrame(pcm, frame.data());
    if (!writer.append(frame)) return output_name(opt) + ": " + writer.error();
  }
  progress.finished(writer.frames());
  if (writer.frames() == 0) return opt.input + ": no audio to encode";
  return std::nullopt;
}

// Fills the writer with frames; returns what went wrong, or nothing.
using FrameSource = std::function<std::optional<std::string>(encoder::VoiceFileWriter&)>;

// Writes the voice file of `mode` with the frames `fill` gives. The caller
// opens its input first, so that a bad input never creates an output.
int write_voice_file(const Options& opt, voice::VoiceMode mode, const FrameSource& fill) {
  const auto leading = encoder::silent_leading_frames(mode);
  if (!leading) return fail(voice::mode_name(mode), "this mode has no encoder yet");
  // The writer seeks back to the header at the end: a pipe or standard
  // output gets the file through a temporary, once it is complete.
  tools::OutputFile file(opt.output, "vocenc", {.force = opt.force, .seekable = true});
  const std::string name = output_name(opt);
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

int encode(const Options& opt) {
  std::unique_ptr<encoder::FrameEncoder> frame_encoder = encoder::MakeFrameEncoder(opt.mode);
  if (!frame_encoder) return fail(voice::mode_name(opt.mode), "this mode has no encoder yet");
  tools::SpeechInput input(opt.input, opt.raw);
  if (!input.opened()) return fail(opt.input, input.error);
  const int exit_code = write_voice_file(opt, opt.mode, [&](encoder::VoiceFileWriter& writer) {
    return encode_all(input, *frame_encoder, writer, opt);
  });
  if (const int64_t n = input.out_of_range(); n > 0)
    std::fprintf(stderr, "vocenc: %s: %lld sample%s out of range %s clipped\n", opt.input.c_str(),
                 static_cast<long long>(n), n == 1 ? "" : "s", n == 1 ? "was" : "were");
  return exit_code;
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f != stdin) std::fclose(f);
  }
};

int wrap_g729(const Options& opt, tools::G729Rate rate) {
  const std::unique_ptr<std::FILE, FileCloser> in(
      opt.input == "-" ? stdin : std::fopen(opt.input.c_str(), "rb"));
  if (!in) return fail(opt.input, std::strerror(errno));
  return write_voice_file(opt, tools::voice_mode_of(rate), [&](encoder::VoiceFileWriter& writer) {
    return tools::import_g729(in.get(), rate, writer, opt.input, output_name(opt));
  });
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (int exit_code = parse(argc, argv, opt); exit_code >= 0) return exit_code;
  if (tools::is_same_file(opt.input, opt.output))
    return fail(opt.output, opt.input == "-" ? "is standard input; give another OUTPUT"
                                             : "is the input file; give another OUTPUT");
  if (opt.from_g729) return wrap_g729(opt, *opt.from_g729);
  return encode(opt);
}
