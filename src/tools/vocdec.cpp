// vocdec [--raw] INPUT OUTPUT: decodes a voice file to 16-bit mono PCM at
// 8000 Hz, as WAV, FLAC or Ogg Vorbis (by OUTPUT's extension) or as bare
// little-endian samples. vocdec --g729 INPUT OUTPUT: writes a CELP file's
// frames, undecoded, as a standard G.729 bitstream. WAV that would pass
// 4 GiB is written as RF64.
#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/g729_bitstream.h"
#include "tools/g729_export.h"
#include "tools/output_file.h"
#include "tools/tool_common.h"
#include "tools/wav_size.h"
#include "voice/vdec.h"
#include "voice/voice_format.h"

namespace {

constexpr tools::Usage kUsage{
    "vocdec", "[--raw | --g729] [--force] INPUT OUTPUT",
    "Decodes the voice file INPUT to 16-bit mono PCM at 8000 Hz. OUTPUT ending in\n"
    ".flac or .ogg gives FLAC or Ogg Vorbis, any other name WAV (RF64 past 4 GiB);\n"
    "--raw writes bare little-endian samples, and OUTPUT - writes them to standard\n"
    "output.\n"
    "--g729 decodes nothing: it writes the frames of a CELP voice file, in the order\n"
    "they play, as a packed G.729 bitstream with each field most significant bit\n"
    "first: 10-byte frames at 8000 bit/s from celp80, 8-byte Annex D frames at\n"
    "6400 bit/s from celp64 and celp56 (whose frames become the 6400 bit/s frames\n"
    "that decode alike). vocenc --from-g729 stores such a bitstream in a voice file.\n"
    "An error stops decoding; everything decoded before it is still written.\n"
    "OUTPUT appears only once complete, through a symbolic link as the file it\n"
    "names; a file with more hard links is rewritten in place. A read-only OUTPUT\n"
    "is replaced only with --force (-f); INPUT itself never.\n"};

enum class Format { Wav, Flac, Ogg, Raw, G729 };

struct Options {
  Format format = Format::Wav;
  bool force = false;
  std::string input;
  std::string output;
  bool to_stdout() const { return output == "-"; }
};

Format format_for(std::string_view output) {
  if (output.ends_with(".flac")) return Format::Flac;
  if (output.ends_with(".ogg")) return Format::Ogg;
  return Format::Wav;
}

// Where PCM goes. A sink that fails keeps failing; `error` says why.
class PcmSink {
 public:
  virtual ~PcmSink() = default;
  virtual bool write(std::span<const int16_t> samples) = 0;
  // Flushes and closes; the output is complete only when this succeeds.
  virtual bool finish() = 0;
  std::string error;
};

class RawSink : public PcmSink {
 public:
  explicit RawSink(std::FILE* out, bool owned) : out_(out), owned_(owned) {}
  ~RawSink() override {
    if (owned_ && out_) std::fclose(out_);
  }
  bool write(std::span<const int16_t> samples) override {
    // Little-endian whatever the host's byte order.
    bytes_.clear();
    for (int16_t s : samples) {
      const auto u = static_cast<uint16_t>(s);
      bytes_.push_back(static_cast<uint8_t>(u & 0xFF));
      bytes_.push_back(static_cast<uint8_t>(u >> 8));
    }
    if (std::fwrite(bytes_.data(), 1, bytes_.size(), out_) == bytes_.size()) return true;
    error = std::strerror(errno);
    return false;
  }
  bool finish() override {
    const bool ok = std::fflush(out_) == 0 && !std::ferror(out_);
    if (!ok && error.empty()) error = std::strerror(errno);
    const bool closed = !owned_ || std::fclose(std::exchange(out_, nullptr)) == 0;
    if (!closed && error.empty()) error = std::strerror(errno);
    return ok && closed;
  }

 private:
  std::FILE* out_;
  bool owned_;
  std::vector<uint8_t> bytes_;
};

class SndfileSink : public PcmSink {
 public:
  // Takes over `fd` whether or not the open succeeds. `header_frames`: the
  // frames the voice file's header counts, which decide between WAV and RF64.
  SndfileSink(int fd, Format format, int64_t header_frames)
      : plain_wav_(format == Format::Wav && !tools::wav_needs_rf64(header_frames)) {
    SF_INFO info{};
    info.samplerate = voice::kSampleRate;
    info.channels = 1;
    info.format = format == Format::Flac  ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16
                  : format == Format::Ogg ? SF_FORMAT_OGG | SF_FORMAT_VORBIS
                  : plain_wav_            ? SF_FORMAT_WAV | SF_FORMAT_PCM_16
                                          : SF_FORMAT_RF64 | SF_FORMAT_PCM_16;
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file_) {
      close(fd);
      error = sf_strerror(nullptr);
    }
  }
  ~SndfileSink() override {
    if (file_) sf_close(file_);
  }
  bool opened() const { return file_ != nullptr; }
  bool write(std::span<const int16_t> samples) override {
    const auto n = static_cast<sf_count_t>(samples.size());
    // A file decoding to more frames than its header counts could still
    // outgrow WAV; its sizes would wrap, so that is an error.
    data_bytes_ += 2 * n;
    if (plain_wav_ && !tools::wav_fits(data_bytes_)) {
      error = "more frames than the header counts, too many for a WAV file (4 GiB)";
      return false;
    }
    if (sf_write_short(file_, samples.data(), n) == n) return true;
    error = sf_strerror(file_);
    return false;
  }
  bool finish() override {
    // The header is rewritten with the final length on close, which can
    // fail by itself.
    sf_write_sync(file_);
    const int before = sf_error(file_);
    if (before != SF_ERR_NO_ERROR) error = sf_error_number(before);
    const int closed = sf_close(std::exchange(file_, nullptr));
    if (closed != 0 && error.empty()) error = sf_error_number(closed);
    return before == SF_ERR_NO_ERROR && closed == 0;
  }

 private:
  SNDFILE* file_ = nullptr;
  bool plain_wav_;
  int64_t data_bytes_ = 0;
};

struct DecodeResult {
  StatusCode status = status::kSuccess;  // the decoder's, once it stopped
  bool written = true;                   // false when the sink failed
};

// Whether the call left a frame of samples in its buffer. A failed read
// leaves the position where it was and writes nothing; a status raised while
// decoding the frame (a division error) comes after its samples were written
// and the position advanced.
bool frame_written(int32_t before, int32_t after) {
  return after != before;
}

// Decodes from the first frame until the decoder returns non-zero, keeping
// every frame of samples the decoder wrote, the one that raised the final
// status included.
DecodeResult decode_all(voice::DecoderState& st, PcmSink& sink) {
  DecodeResult result;
  uint8_t pcm[voice::kPcmFrameBytes] = {};
  int16_t samples[voice::kSamplesPerFrame];
  for (;;) {
    const int32_t before = st.position;
    int32_t after = before;
    result.status = vdec_decode_frame(st, pcm, &after);
    if (frame_written(before, after)) {
      for (int i = 0; i < voice::kSamplesPerFrame; ++i)
        samples[i] = static_cast<int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8);
      if (!sink.write(samples)) {
        result.written = false;
        return result;
      }
    }
    if (result.status != status::kSuccess) return result;
  }
}

int parse(int argc, char** argv, Options& opt) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (tools::is_help_flag(arg)) {
      tools::print_usage(stdout, kUsage);
      return 0;
    }
    if (arg == "--raw" || arg == "--g729") {
      const Format chosen = arg == "--raw" ? Format::Raw : Format::G729;
      if (opt.format != Format::Wav && opt.format != chosen)
        return tools::usage_error(kUsage, "--raw and --g729 exclude each other");
      opt.format = chosen;
    } else if (arg == "--force" || arg == "-f") {
      opt.force = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return tools::usage_error(kUsage, "unknown option " + std::string(arg));
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.size() != 2) return tools::usage_error(kUsage, "expected INPUT and OUTPUT");
  opt.input = positional[0];
  opt.output = positional[1];
  if (opt.format == Format::Wav) opt.format = format_for(opt.output);
  return -1;
}

int fail(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "vocdec: %s: %s\n", what.c_str(), why.c_str());
  return 1;
}

std::string output_name(const Options& opt) {
  return opt.to_stdout() ? "standard output" : opt.output;
}

// Decodes into the sink and reports; `commit` makes a finished file visible.
int run(const Options& opt, tools::OpenedVoice& voice, PcmSink& sink, tools::OutputFile* file) {
  const DecodeResult r = decode_all(*voice.state, sink);
  if (!r.written) return fail(output_name(opt), sink.error);
  if (!sink.finish()) return fail(output_name(opt), sink.error);
  if (file && !file->commit()) return fail(output_name(opt), file->error);
  if (r.status == status::kEndOfFile) return 0;
  return fail(opt.input, voice.text(r.status));
}

// Like decoding, a malformed record stops the frames there and what came
// before it is still written.
int write_g729(const Options& opt, tools::OpenedVoice& voice, std::FILE* out,
               tools::OutputFile* file) {
  const tools::G729Export r = tools::export_g729(*voice.state, out);
  std::string error = r.write_error;
  if (std::fflush(out) != 0 && error.empty()) error = std::strerror(errno);
  if (file && std::fclose(out) != 0 && error.empty()) error = std::strerror(errno);
  if (!error.empty()) return fail(output_name(opt), error);
  if (file && !file->commit()) return fail(output_name(opt), file->error);
  if (r.status == status::kEndOfFile) return 0;
  return fail(opt.input, voice.text(r.status));
}

int run_g729(const Options& opt, tools::OpenedVoice& voice) {
  if (!tools::g729_rate_of(static_cast<voice::VoiceMode>(voice.mode)))
    return fail(opt.input,
                std::string(voice::mode_name(static_cast<voice::VoiceMode>(voice.mode))) +
                    " frames are not CELP frames; only celp56, celp64 and celp80 "
                    "files have a G.729 form");
  if (opt.to_stdout()) return write_g729(opt, voice, stdout, nullptr);
  tools::OutputFile file(opt.output, "vocdec", {.force = opt.force});
  std::FILE* out = file.take_stream();
  if (!out) return fail(opt.output, file.error);
  return write_g729(opt, voice, out, &file);
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (int exit_code = parse(argc, argv, opt); exit_code >= 0) return exit_code;
  if (tools::is_same_file(opt.input, opt.output))
    return fail(opt.output, "is the input file; give another OUTPUT");

  // The input is opened and positioned before any output exists, so a bad
  // input never creates one.
  tools::OpenedVoice voice = tools::open_voice(opt.input.c_str());
  if (!voice.ok()) return fail(opt.input, voice.text(voice.status));
  if (vdec_restart_at(*voice.state, opt.input.c_str(), 0) != 0)
    return fail(opt.input, "cannot seek to the first frame");
  if (opt.format == Format::G729) return run_g729(opt, voice);

  if (opt.to_stdout()) {
    RawSink sink(stdout, false);
    return run(opt, voice, sink, nullptr);
  }
  // libsndfile seeks back to complete the header, which a pipe cannot do.
  tools::OutputFile file(opt.output, "vocdec",
                         {.force = opt.force, .seekable = opt.format != Format::Raw});
  if (opt.format == Format::Raw) {
    std::FILE* out = file.take_stream();
    if (!out) return fail(opt.output, file.error);
    RawSink sink(out, true);
    return run(opt, voice, sink, &file);
  }
  const int fd = file.take_fd();
  if (fd < 0) return fail(opt.output, file.error);
  SndfileSink sink(fd, opt.format, voice.state->frame_count);
  if (!sink.opened()) return fail(opt.output, sink.error);
  return run(opt, voice, sink, &file);
}
