// vocdec: decodes voice files to 16-bit mono PCM at 8000 Hz in any format
// libsndfile writes, or to bare samples; vocdec --g729 writes a CELP file's
// frames, undecoded, as a standard G.729 bitstream. One INPUT to OUTPUT, or
// many INPUTs into a folder on several threads.
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/batch.h"
#include "tools/decode_all.h"
#include "tools/g729_bitstream.h"
#include "tools/g729_export.h"
#include "tools/input_check.h"
#include "tools/output_file.h"
#include "tools/output_types.h"
#include "tools/pcm_sinks.h"
#include "tools/sndfile_stream_sink.h"
#include "tools/standard_input.h"
#include "tools/tool_common.h"
#include "voice/vdec.h"
#include "voice/voice_format.h"

namespace {

constexpr tools::Usage kUsage{
    "vocdec",
    "[-f] [-q] [--raw | -t TYPE | --g729] INPUT OUTPUT\n"
    "       vocdec [-f] [-q] [--raw | -t TYPE | --g729] [-j N] -o DIR INPUT...",
    "Decodes the voice file INPUT to 16-bit mono PCM at 8000 Hz.\n"
    "\n"
    "  -t, --type TYPE       write TYPE, named as its file name extension (any case),\n"
    "                        whatever OUTPUT is called\n"
    "      --raw             bare little-endian samples, the same as -t raw\n"
    "      --g729            the frames undecoded, as a G.729 bitstream (see below)\n"
    "  -o, --output-dir DIR  decode every INPUT into DIR, each as its name with the\n"
    "                        extension of the type (wav unless -t says otherwise)\n"
    "  -j, --jobs N          decode N files at once (default: one per core)\n"
    "  -f, --force           replace a read-only OUTPUT\n"
    "  -q, --quiet           print errors only\n"
    "  -h, --help            print this help and exit\n"
    "  -V, --version         print the version and exit\n"
    "\n"
    "Without -t, OUTPUT's extension, in any case, chooses the type among those the\n"
    "installed libsndfile writes: 16-bit PCM where the format holds it, else its\n"
    "own codec (Vorbis for ogg and oga, Opus for opus, MPEG layer III for mp3);\n"
    "a name without an extension gives WAV, which becomes RF64 when the frames the\n"
    "header counts would pass 4 GiB. An extension that cannot be written is an\n"
    "error (exit 2) that lists the types; -t raw, --raw and a .raw OUTPUT give bare\n"
    "samples.\n"
    "\n"
    "INPUT - reads the voice file from standard input (up to 256 MiB). OUTPUT -\n"
    "writes standard output, never a terminal: into a pipe the file streams with\n"
    "its header sent first, sized from the frames INPUT's header counts, so that\n"
    "it matches the file written by name.\n"
    "\n"
    "--g729 decodes nothing: it writes the frames of a CELP voice file, in the order\n"
    "they play, as a packed G.729 bitstream with each field most significant bit\n"
    "first: 10-byte frames at 8000 bit/s from celp80, 8-byte Annex D frames at\n"
    "6400 bit/s from celp64 and celp56 (whose frames become the 6400 bit/s frames\n"
    "that decode alike). vocenc --from-g729 stores such a bitstream in a voice file.\n"
    "\n"
    "A file that ends before the frames its header counts, or holds a frame that\n"
    "cannot be read or decoded, is still written up to there; vocdec then says\n"
    "\"truncated after N of M frames\" or \"damaged at frame N: <reason>\" (frames\n"
    "count from 0) and exits 1. With -o, a failing file is reported and the\n"
    "others go on; the exit status is 1 if any failed.\n"
    "\n"
    "OUTPUT appears only once complete, through a symbolic link as the file it\n"
    "names; a file with more hard links is rewritten in place. A read-only OUTPUT\n"
    "is replaced only with --force; INPUT itself never.\n"
    "\n"
    "Exit status: 0 done, 1 a file failed or was damaged, 2 a usage error or\n"
    "binary output to a terminal.\n"};

struct Options {
  std::optional<tools::OutputType> type;  // from -t or --raw
  bool g729 = false;
  bool force = false;
  std::string folder;  // -o
  std::optional<int> jobs;
  std::vector<std::string> inputs;
  std::string output;  // single-file use
};

std::string lower_case(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

int unknown_type(const std::string& name, const char* how) {
  return tools::usage_error(kUsage, std::string(how) + " '" + name +
                                        "' is no type libsndfile writes here; the types are " +
                                        tools::output_type_names());
}

int choose_type(Options& opt, const char* name) {
  const auto type = tools::find_output_type(name);
  if (!type) return unknown_type(name, "-t");
  if (opt.type && opt.type->name != type->name)
    return tools::usage_error(kUsage, "--raw and -t " + type->name + " exclude each other");
  opt.type = type;
  return -1;
}

// Returns an exit status, or -1 to go on.
int parse(int argc, char** argv, Options& opt) {
  enum { kRaw = 256, kG729 };
  static const option kLong[] = {
      {"help", no_argument, nullptr, 'h'},       {"version", no_argument, nullptr, 'V'},
      {"quiet", no_argument, nullptr, 'q'},      {"force", no_argument, nullptr, 'f'},
      {"raw", no_argument, nullptr, kRaw},       {"g729", no_argument, nullptr, kG729},
      {"type", required_argument, nullptr, 't'}, {"output-dir", required_argument, nullptr, 'o'},
      {"jobs", required_argument, nullptr, 'j'}, {nullptr, 0, nullptr, 0}};
  opterr = 0;
  for (int c; (c = getopt_long(argc, argv, ":hVqft:o:j:", kLong, nullptr)) != -1;) {
    switch (c) {
      case 'h':
        tools::print_usage(stdout, kUsage);
        std::printf("\nThe types this libsndfile writes: %s.\n",
                    tools::output_type_names().c_str());
        return 0;
      case 'V':
        tools::print_version("vocdec");
        return 0;
      case 'q':  // vocdec says nothing but errors anyway
        break;
      case 'f':
        opt.force = true;
        break;
      case kRaw:
        if (const int r = choose_type(opt, "raw"); r >= 0) return r;
        break;
      case kG729:
        opt.g729 = true;
        break;
      case 't':
        if (const int r = choose_type(opt, optarg); r >= 0) return r;
        break;
      case 'o':
        opt.folder = optarg;
        break;
      case 'j':
        opt.jobs = tools::parse_thread_count(optarg);
        if (!opt.jobs)
          return tools::usage_error(kUsage, "-j takes a whole number of threads from 1, not '" +
                                                std::string(optarg) + "'");
        break;
      default:
        return tools::bad_option(kUsage, c, argv);
    }
  }
  opt.inputs.assign(argv + optind, argv + argc);
  if (opt.g729 && opt.type)
    return tools::usage_error(kUsage, "--g729 writes no audio; it excludes --raw and -t");
  if (!opt.folder.empty()) {
    if (opt.inputs.empty()) return tools::usage_error(kUsage, "-o DIR needs at least one INPUT");
    return -1;
  }
  if (opt.jobs) return tools::usage_error(kUsage, "-j is for -o DIR");
  if (opt.inputs.size() != 2) return tools::usage_error(kUsage, "expected INPUT and OUTPUT");
  opt.output = opt.inputs.back();
  opt.inputs.pop_back();
  if (opt.type || opt.g729) return -1;
  const std::string extension = tools::extension_of(opt.output);
  if (extension.empty() || opt.output == "-") return -1;
  opt.type = tools::find_output_type(extension);
  if (!opt.type) return unknown_type(extension, "OUTPUT's extension");
  return -1;
}

tools::OutputType chosen_type(const Options& opt) {
  return opt.type ? *opt.type : *tools::find_output_type("wav");
}

std::string shown(const std::string& path, const char* standard_name) {
  return path == "-" ? standard_name : path;
}

bool fail(const std::string& what, const std::string& why) {
  std::fprintf(stderr, "vocdec: %s: %s\n", what.c_str(), why.c_str());
  return false;
}

// An input open on a decoder state of its own, standing at the first frame.
struct Input {
  std::string name;            // for messages
  std::vector<uint8_t> bytes;  // standard input's, which the decoder reads
  tools::OpenedVoice voice;
  int64_t size = 0;  // in bytes
};

bool open_standard_input(Input& in) {
  if (auto why = tools::read_standard_input(in.bytes)) return fail(in.name, *why);
  if (in.bytes.empty()) return fail(in.name, "empty file");
  in.size = static_cast<int64_t>(in.bytes.size());
  in.voice.state = std::make_unique<voice::DecoderState>();
  // Read only: the bytes are never written.
  std::FILE* file = fmemopen(in.bytes.data(), in.bytes.size(), "rb");
  if (!file) return fail(in.name, std::strerror(errno));
  in.voice.status = vdec_open_stream(*in.voice.state, file, &in.voice.mode);
  if (in.voice.ok()) return true;
  const size_t head = std::min<size_t>(in.bytes.size(), 32);
  return fail(in.name, tools::open_failure(std::span(in.bytes.data(), head),
                                           in.voice.text(in.voice.status)));
}

bool open_named_input(const std::string& path, Input& in) {
  if (auto why = tools::unreadable_input(path)) return fail(in.name, *why);
  in.voice = tools::open_voice(path.c_str());
  if (!in.voice.ok())
    return fail(in.name, tools::open_failure(path, in.voice.text(in.voice.status)));
  struct stat st {};
  if (fstat(fileno(in.voice.state->file.get()), &st) == 0) in.size = st.st_size;
  return true;
}

bool open_input(const std::string& path, Input& in) {
  in.name = shown(path, "standard input");
  if (!(path == "-" ? open_standard_input(in) : open_named_input(path, in))) return false;
  // Decoding starts at a fixed offset after the leading frames, wherever
  // reading the header left the stream; no path is needed to go there.
  if (const StatusCode r = vdec_restart_at(*in.voice.state, nullptr, 0))
    return fail(in.name, std::string("cannot reach the first frame: ") + in.voice.text(r));
  return true;
}

int64_t header_frames(const Input& in) {
  return in.voice.state->frame_count;
}

// The header's frame count when the input is long enough to hold that many
// frames, else -1: a header cannot size a stream it lies about.
int64_t believable_frames(const Input& in) {
  const int64_t frames = header_frames(in);
  return frames * in.voice.state->frame_bytes <= in.size ? frames : -1;
}

// Whatever went wrong, everything decoded is written; the reading's end is
// then reported.
bool report_end(const Input& in, const tools::PcmSink* sink, const std::string& output,
                StatusCode status, int64_t frames, int64_t failed_frame) {
  if (auto fault = tools::reading_fault(status, frames, failed_frame, header_frames(in),
                                        in.voice.text(status)))
    return fail(in.name, *fault);
  if (sink && !sink->stale_header.empty()) return fail(output, sink->stale_header);
  return true;
}

bool decode_into(Input& in, tools::PcmSink& sink, tools::OutputFile& file,
                 const std::string& output) {
  const tools::DecodeResult r = tools::decode_all(*in.voice.state, sink);
  if (!r.written || !sink.finish()) return fail(output, sink.error);
  if (!file.commit()) return fail(output, file.error);
  return report_end(in, &sink, output, r.status, r.frames, r.failed_frame);
}

std::unique_ptr<tools::SndfileSink> open_sndfile(int fd, int format, const Input& in,
                                                 const std::string& path) {
  // Standard output redirected to a file seeks; a pipe does not.
  if (path == "-" && ::lseek(fd, 0, SEEK_CUR) < 0)
    return tools::make_stream_sink(fd, format, believable_frames(in));
  return std::make_unique<tools::SeekableSndfileSink>(fd, format);
}

bool decode_pcm(Input& in, const tools::OutputType& type, const std::string& path, bool force) {
  const std::string output = shown(path, "standard output");
  // libsndfile seeks back to complete a header: a named pipe gets the file
  // once complete. Standard output is taken as it is: into a pipe the file
  // streams (open_sndfile).
  tools::OutputFile file(path, "vocdec", {.force = force, .seekable = !type.raw() && path != "-"});
  std::unique_ptr<tools::PcmSink> sink;
  if (type.raw()) {
    std::FILE* out = file.take_stream();
    if (!out) return fail(output, file.error);
    sink = std::make_unique<tools::RawSink>(out, true);
  } else {
    const int fd = file.take_fd();
    if (fd < 0) return fail(output, file.error);
    auto pcm =
        open_sndfile(fd, tools::sndfile_format_for(type.format, header_frames(in)), in, path);
    if (!pcm->opened()) return fail(output, pcm->error);
    sink = std::move(pcm);
  }
  return decode_into(in, *sink, file, output);
}

bool write_g729(Input& in, const std::string& path, bool force) {
  const std::string output = shown(path, "standard output");
  const auto mode = static_cast<voice::VoiceMode>(in.voice.mode);
  if (!tools::g729_rate_of(mode))
    return fail(in.name, lower_case(voice::mode_name(mode)) +
                             " frames are not CELP frames; only celp56, celp64 and celp80 "
                             "files have a G.729 form");
  tools::OutputFile file(path, "vocdec", {.force = force});
  std::FILE* out = file.take_stream();
  if (!out) return fail(output, file.error);
  // Like decoding, a malformed record stops the frames there and what came
  // before it is still written.
  const tools::G729Export r = tools::export_g729(*in.voice.state, out);
  std::string error = r.write_error;
  if (std::fclose(out) != 0 && error.empty()) error = std::strerror(errno);
  if (!error.empty()) return fail(output, error);
  if (!file.commit()) return fail(output, file.error);
  return report_end(in, nullptr, output, r.status, r.frames, r.frames);
}

// One INPUT into one OUTPUT, on a decoder state of its own; reports its
// failures itself.
bool convert(const Options& opt, const std::string& input, const std::string& output) {
  if (tools::is_same_file(input, output))
    return fail(output, "is the input file; give another OUTPUT");
  // The input is opened and positioned before any output exists, so a bad
  // input never creates one.
  Input in;
  if (!open_input(input, in)) return false;
  if (opt.g729) return write_g729(in, output, opt.force);
  return decode_pcm(in, chosen_type(opt), output, opt.force);
}

int run_batch(const Options& opt) {
  const std::string extension = opt.g729 ? "g729" : chosen_type(opt).name;
  std::vector<tools::BatchJob> jobs;
  if (auto why = tools::plan_batch(opt.inputs, opt.folder, "." + extension, jobs))
    return tools::usage_error(kUsage, *why);
  const int failed = tools::run_batch(
      jobs, opt.jobs.value_or(tools::default_thread_count()),
      [&](const tools::BatchJob& job) { return convert(opt, job.input, job.output); });
  if (failed > 0 && jobs.size() > 1)
    std::fprintf(stderr, "vocdec: %d of %zu files failed\n", failed, jobs.size());
  return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (const int exit_code = parse(argc, argv, opt); exit_code >= 0) return exit_code;
  if (!opt.folder.empty()) return run_batch(opt);
  if (opt.output == "-" && tools::refuse_terminal_output("vocdec")) return tools::kUsageExit;
  return convert(opt, opt.inputs.front(), opt.output) ? 0 : 1;
}
