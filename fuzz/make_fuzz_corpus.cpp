// Writes the fuzzer's seed files into a directory: for every mode, files
// that reach each kind of record the frame reader knows, plus malformed
// headers and truncated files, so that fuzzing starts from deep paths.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "schedule.h"
#include "support/voice_file_builder.h"

namespace {

using testing_support::Bytes;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

struct Seed {
  std::string name;
  Bytes bytes;
};

Bytes junk(int n) {
  Bytes b(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) b[static_cast<size_t>(i)] = static_cast<uint8_t>(0x31 + 7 * i);
  return b;
}

Bytes truncated(Bytes b, size_t size) {
  b.resize(std::min(b.size(), size));
  return b;
}

// The schedule bytes share the header with the magic, so a seed that wants
// a calling sequence of its own writes it as the tail of a longer magic.
std::string magic_with(const voice_fuzz::Schedule& s) {
  std::string magic(voice::kMagic);
  for (uint8_t byte : voice_fuzz::schedule_bytes(s)) magic.push_back(static_cast<char>(byte));
  return magic;
}

VoiceFileBuilder& with_schedule(VoiceFileBuilder& b, const voice_fuzz::Schedule& s) {
  return b.magic(magic_with(s));
}

void add_mode_seeds(VoiceMode mode, std::vector<Seed>& out) {
  const int f = voice::frame_bytes_of(mode);
  auto seed = [&](const std::string& name, const VoiceFileBuilder& b) {
    out.push_back({std::string(voice::mode_name(mode)) + "-" + name, b.bytes()});
  };
  const VoiceFileBuilder b(mode);

  seed("end-marker", VoiceFileBuilder(b).speech_frames(30).end_marker());
  seed("no-end-marker", VoiceFileBuilder(b).speech_frames(30));
  VoiceFileBuilder skipped(b);
  skipped.speech_frames(6).skipped_region(junk(3 * f + 1)).speech_frames(6).end_marker();
  seed("skipped-region", skipped);
  VoiceFileBuilder jumps(b);
  jumps.speech_frames(4).forward_jump(f).speech_frames(3).forward_jump(2 * f).raw(junk(f));
  seed("forward-jumps", jumps.speech_frames(4).end_marker());
  seed("bad-jump", VoiceFileBuilder(b).speech_frames(4).forward_jump(f - 1).speech_frames(4));
  seed("huge-jump", VoiceFileBuilder(b).speech_frames(4).forward_jump(0x7FFFFFFF).speech_frames(4));
  seed("duration-0-2", VoiceFileBuilder(b).duration(0, 0, 0, 2).speech_frames(5).end_marker());
  seed("duration-0-3", VoiceFileBuilder(b).duration(0, 0, 0, 3).speech_frames(5).end_marker());
  const auto high_nibble = static_cast<uint8_t>(0x30 | static_cast<int>(mode));
  seed("high-nibble", VoiceFileBuilder(b).mode_byte(high_nibble).speech_frames(8).end_marker());
  seed("zero-leading", VoiceFileBuilder(b).leading_frames({}).speech_frames(8).end_marker());
  const Bytes whole = VoiceFileBuilder(b).speech_frames(8).bytes();
  out.push_back({std::string(voice::mode_name(mode)) + "-truncated-frame",
                 truncated(whole, voice::kFirstFrameOffset + 3 * f + 2)});

  // Skips backwards over a jump record and the leading frames into the
  // header region, then forwards far past the end.
  voice_fuzz::Schedule back;
  back.first_decodes = 0;  // a frame that fails to decode would end the run
  back.skip_backward = 12;
  back.restart_count = 200;
  VoiceFileBuilder backwards(b);
  with_schedule(backwards, back).speech_frames(8).skipped_region(junk(f)).speech_frames(4);
  seed("backwards", backwards.end_marker());
}

void add_adpcm_seeds(std::vector<Seed>& out) {
  auto seed = [&](const std::string& name, const VoiceFileBuilder& b) {
    out.push_back({"Adpcm40-" + name, b.bytes()});
  };
  const VoiceFileBuilder b(VoiceMode::Adpcm40);
  VoiceFileBuilder halves(b);
  halves.speech_frames(3).half_zero_frame(true).speech_frames(3).half_zero_frame(false);
  seed("half-zero", halves.speech_frames(3).end_marker());
  // The realigned frame after a half-zero frame is itself a zero frame and
  // opens a record of its own.
  VoiceFileBuilder into_marker(b);
  into_marker.speech_frames(3).half_zero_frame(true).raw(Bytes(20, 0)).zero_frame();
  seed("half-zero-into-marker", into_marker.speech_frames(2).end_marker());

  voice_fuzz::Schedule back;
  back.first_decodes = 2;
  back.skip_forward = 6;
  back.skip_backward = 9;
  VoiceFileBuilder backwards(b);
  with_schedule(backwards, back).speech_frames(2).half_zero_frame(false).speech_frames(2);
  seed("half-zero-backwards", backwards.half_zero_frame(true).speech_frames(4).end_marker());

  // Backwards past the leading frames into a header region that holds no
  // zero frame, so that the reader runs into the start of the file.
  voice_fuzz::Schedule to_start;
  to_start.first_decodes = 0;
  to_start.skip_forward = 0;
  to_start.skip_backward = 200;
  std::string magic = magic_with(to_start);
  magic.append(voice::kFirstFrameOffset, 'h');
  seed("backwards-into-header", VoiceFileBuilder(b).magic(magic).speech_frames(4).end_marker());
}

void add_header_seeds(std::vector<Seed>& out) {
  const Bytes whole = VoiceFileBuilder(VoiceMode::Celp80).speech_frames(4).end_marker().bytes();
  out.push_back({"tiny-empty", {}});
  out.push_back({"tiny-20-bytes", truncated(whole, 20)});
  out.push_back({"tiny-header-only", truncated(whole, 40)});
  const VoiceFileBuilder celp(VoiceMode::Celp64);
  out.push_back({"bad-mode-5", VoiceFileBuilder(celp).mode_byte(0x05).speech_frames(4).bytes()});
  VoiceFileBuilder bad_and_empty(celp);
  bad_and_empty.mode_byte(0x0F).duration(0, 0, 0, 1).speech_frames(4);
  out.push_back({"bad-mode-15-no-frames", bad_and_empty.bytes()});
  VoiceFileBuilder wrong_magic(VoiceMode::Adpcm40);
  wrong_magic.magic("not a voice fil").speech_frames(4).end_marker();
  out.push_back({"wrong-magic", wrong_magic.bytes()});
}

bool write_seed(const std::string& dir, const Seed& seed) {
  const std::string path = dir + "/" + seed.name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(seed.bytes.data(), 1, seed.bytes.size(), f) == seed.bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  std::vector<Seed> seeds;
  try {
    for (VoiceMode mode :
         {VoiceMode::Celp56, VoiceMode::Celp64, VoiceMode::Celp80, VoiceMode::Adpcm40})
      add_mode_seeds(mode, seeds);
    add_adpcm_seeds(seeds);
    add_header_seeds(seeds);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  for (const Seed& seed : seeds) {
    if (!write_seed(argv[1], seed)) {
      std::fprintf(stderr, "cannot write %s/%s\n", argv[1], seed.name.c_str());
      return 1;
    }
  }
  std::printf("%zu seed files in %s\n", seeds.size(), argv[1]);
  return 0;
}
