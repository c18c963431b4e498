// Takes arbitrary bytes as a voice file and drives the whole calling
// interface over it: open, restart, decode, skip both ways, restart with a
// count, close, reset and a second open. Besides the sanitizers' findings it
// checks that a second open of the same bytes behaves like the first.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "schedule.h"
#include "voice/vdec.h"

namespace {

// A fresh file per input would cost more than decoding it: one file per
// process, rewritten for each input and removed at exit.
std::string g_path;

void remove_input_file() {
  std::remove(g_path.c_str());
}

const char* input_path() {
  if (g_path.empty()) {
    const char* dir = std::getenv("TMPDIR");
    std::string name = std::string(dir && *dir ? dir : "/tmp") + "/voice_fuzz-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) std::abort();
    close(fd);
    g_path = name;
    std::atexit(remove_input_file);
  }
  return g_path.c_str();
}

void write_input(const char* path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  if (std::fclose(f) != 0) std::abort();
}

// Folds statuses, positions and PCM into one value, so that two decoding
// passes can be compared without keeping their output.
struct Fingerprint {
  uint64_t h = 1469598103934665603u;
  void add_byte(uint8_t b) { h = (h ^ b) * 1099511628211u; }
  void add_bytes(const uint8_t* p, size_t n) {
    std::for_each(p, p + n, [this](uint8_t b) { add_byte(b); });
  }
  void add(int32_t v) {
    for (int i = 0; i < 4; ++i) add_byte(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
  }
};

// Decodes up to `frames` frames; stops at the first failure, which every
// later call would only repeat.
StatusCode decode(voice::DecoderState& st, int frames, Fingerprint& fp) {
  StatusCode r = status::kSuccess;
  for (int i = 0; i < frames; ++i) {
    // Filled first, so that output a failed call leaves unwritten still
    // counts the same way in both passes.
    uint8_t pcm[voice::kPcmFrameBytes];
    std::fill(pcm, pcm + sizeof pcm, uint8_t{0xCD});
    int32_t position = -7;
    r = vdec_decode_frame(st, pcm, &position);
    fp.add(r);
    fp.add(position);
    fp.add_bytes(pcm, sizeof pcm);
    if (r != status::kSuccess) break;
  }
  return r;
}

void touch_text(voice::DecoderState& st, StatusCode code) {
  const char* text = vdec_status_text(st, code);
  if (!text || !*text) std::abort();
}

struct Opened {
  int32_t frame_count;
  int mode;
  StatusCode result;
  uint64_t first_pass;
};

// Open, rewind to the first frame and decode: what a fresh open must repeat.
Opened open_and_decode(voice::DecoderState& st, const char* path, int frames) {
  Opened o{};
  o.frame_count = vdec_query(st, path, &o.mode, &o.result);
  touch_text(st, o.result);
  Fingerprint fp;
  fp.add(vdec_restart_at(st, path, 0));
  decode(st, frames, fp);
  o.first_pass = fp.h;
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = input_path();
  write_input(path, data, size);
  const voice_fuzz::Schedule plan = voice_fuzz::schedule_of(data, size);

  voice::DecoderState st;
  const Opened first = open_and_decode(st, path, plan.first_decodes);

  touch_text(st, vdec_skip_forward(st, plan.skip_forward));
  touch_text(st, vdec_skip_backward(st, plan.skip_backward));
  touch_text(st, vdec_restart_at(st, path, plan.restart_count));
  Fingerprint ignored;
  const StatusCode last = decode(st, plan.second_decodes, ignored);
  touch_text(st, last);
  // The formatted texts print fields the run has left at arbitrary values.
  for (int bit = 0; bit < 31; ++bit) touch_text(st, StatusCode{1} << bit);
  touch_text(st, status::kAlreadyTerminated);

  vdec_close(st);
  vdec_reset_status(st);
  const Opened second = open_and_decode(st, path, plan.first_decodes);
  // Opening resets the whole ADPCM state, so an ADPCM file decodes as it did
  // on the fresh state; the CELP modes carry three memories (last LSPs,
  // quantised energies, phase dispersion) from one open into the next.
  const bool fully_reset = first.mode == static_cast<int>(voice::VoiceMode::Adpcm40);
  if (second.frame_count != first.frame_count || second.mode != first.mode ||
      second.result != first.result || (fully_reset && second.first_pass != first.first_pass)) {
    std::fprintf(stderr,
                 "second open differs: frame count %d/%d, mode %d/%d, result %d/%d, "
                 "decoding %s\n",
                 first.frame_count, second.frame_count, first.mode, second.mode, first.result,
                 second.result, first.first_pass == second.first_pass ? "same" : "differs");
    std::abort();
  }
  vdec_close(st);
  return 0;
}
