// vocenc [--mode MODE] [--raw] INPUT OUTPUT.voc: encodes speech into a voice
// file, from any audio file libsndfile reads or from bare samples.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/frame_encoder.h"
#include "encoder/voice_file_writer.h"
#include "tools/output_file.h"
#include "tools/speech_input.h"
#include "tools/tool_common.h"
#include "voice/voice_format.h"

namespace {

constexpr tools::Usage kUsage{
    "vocenc", "[--mode celp56|celp64|celp80|adpcm40] [--raw] INPUT OUTPUT.voc",
    "Encodes the speech in INPUT into the voice file OUTPUT.voc (mode celp56 unless\n"
    "--mode says otherwise). INPUT is any audio file libsndfile reads; it is mixed\n"
    "to mono and resampled to 8000 Hz. With --raw, INPUT holds bare 16-bit\n"
    "little-endian mono samples at 8000 Hz; INPUT - reads standard input.\n"
    "OUTPUT.voc appears only once complete; a failure leaves an older file as it was.\n"};

struct Options {
  voice::VoiceMode mode = voice::VoiceMode::Celp56;
  bool raw = false;
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
    } else if (arg == "--mode") {
      if (++i == argc) return tools::usage_error(kUsage, "--mode needs a value");
      const auto mode = mode_named(argv[i]);
      if (!mode) return tools::usage_error(kUsage, "unknown mode " + std::string(argv[i]));
      opt.mode = *mode;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return tools::usage_error(kUsage, "unknown option " + std::string(arg));
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.size() != 2) return tools::usage_error(kUsage, "expected INPUT and OUTPUT");
  opt.input = positional[0];
  opt.output = positional[1];
  return -1;
}

int fail(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "vocenc: %s: %s\n", what.c_str(), why.c_str());
  return 1;
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
    if (!writer.append(frame)) return opt.output + ": " + writer.error();
    progress.frame_done(writer.frames());
  }
  progress.finished(writer.frames());
  if (!input.error.empty()) return opt.input + ": " + input.error;
  if (writer.frames() == 0) return opt.input + ": no audio to encode";
  return std::nullopt;
}

int run(const Options& opt) {
  std::unique_ptr<encoder::FrameEncoder> frame_encoder = encoder::MakeFrameEncoder(opt.mode);
  const auto leading = encoder::silent_leading_frames(opt.mode);
  if (!frame_encoder || !leading)
    return fail(voice::mode_name(opt.mode), "this mode has no encoder yet");

  // The input is opened before any output exists, so a bad input never
  // creates one.
  tools::SpeechInput input(opt.input, opt.raw);
  if (!input.opened()) return fail(opt.input, input.error);

  tools::OutputFile file(opt.output, "vocenc");
  const int fd = file.take_fd();
  if (fd < 0) return fail(opt.output, file.error);
  std::FILE* out = ::fdopen(fd, "wb");
  if (!out) {
    ::close(fd);
    return fail(opt.output, std::strerror(errno));
  }
  encoder::VoiceFileWriter writer(out, opt.mode);
  std::optional<std::string> problem;
  if (!writer.begin(*leading))
    problem = opt.output + ": " + writer.error();
  else
    problem = encode_all(input, *frame_encoder, writer, opt);
  if (!problem && !writer.finish()) problem = opt.output + ": " + writer.error();
  const bool closed = std::fclose(out) == 0;
  if (!problem && !closed) problem = opt.output + ": " + std::strerror(errno);
  if (!problem && !file.commit()) problem = opt.output + ": " + file.error;
  if (problem) {
    std::fprintf(stderr, "vocenc: %s\n", problem->c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (int exit_code = parse(argc, argv, opt); exit_code >= 0) return exit_code;
  return run(opt);
}
