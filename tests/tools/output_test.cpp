// How the built vocdec and vocenc treat their OUTPUT: never one of their
// inputs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/speech_like.h"
#include "support/voice_file_builder.h"
#include "tools/tool_run.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing_support::Bytes;
using testing_support::Outcome;
using testing_support::read_file;
using testing_support::run;
using testing_support::ScratchDir;
using testing_support::shell_quoted;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

Outcome vocdec(const std::vector<std::string>& args) {
  return run(VOCDEC_PATH, args);
}
Outcome vocenc(const std::vector<std::string>& args) {
  return run(VOCENC_PATH, args);
}

void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes speech_raw(double seconds) {
  Bytes b;
  for (int16_t s : testing_support::speech_like_pcm(seconds)) {
    b.push_back(static_cast<uint8_t>(s & 0xFF));
    b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return b;
}

// A voice file, the WAV it decodes to, a speech input and a bitstream.
struct Inputs {
  explicit Inputs(const ScratchDir& dir) : dir(dir) {
    VoiceFileBuilder celp(VoiceMode::Celp80);
    celp.speech_frames(20).end_marker().write(dir / "in.voc");
    EXPECT_EQ(vocdec({dir / "in.voc", dir / "in.wav"}).exit_code, 0);
    EXPECT_EQ(vocdec({"--g729", dir / "in.voc", dir / "in.g729"}).exit_code, 0);
    write_file(dir / "in.raw", speech_raw(0.3));
  }
  const ScratchDir& dir;
};

TEST(ToolOutput, AnOutputThatIsAnInputIsRefusedAndLeftAlone) {
  const ScratchDir dir;
  const Inputs inputs(dir);
  fs::create_hard_link(dir / "in.voc", dir / "hard.voc");
  fs::create_symlink("in.voc", dir / "soft.voc");
  const long entries = dir.entries();
  const Bytes voc = read_file(dir / "in.voc"), wav = read_file(dir / "in.wav"),
              g729 = read_file(dir / "in.g729"), raw = read_file(dir / "in.raw");

  const std::string dot_spelling = dir / "./in.voc";
  struct Case {
    const char* program;
    std::vector<std::string> args;
    std::string setup;
  };
  const Case cases[] = {
      {VOCDEC_PATH, {dir / "in.voc", dir / "in.voc"}, ""},
      {VOCDEC_PATH, {dir / "in.voc", dot_spelling}, ""},
      {VOCDEC_PATH, {dir / "in.voc", dir / "hard.voc"}, ""},
      {VOCDEC_PATH, {dir / "in.voc", dir / "soft.voc"}, ""},
      {VOCDEC_PATH, {"--g729", dir / "in.voc", dir / "soft.voc"}, ""},
      {VOCENC_PATH, {dir / "in.wav", dir / "in.wav"}, ""},
      {VOCENC_PATH, {"--raw", dir / "in.raw", dir / "./in.raw"}, ""},
      {VOCENC_PATH, {"--from-g729", "8000", dir / "in.g729", dir / "in.g729"}, ""},
  };
  for (const Case& c : cases) {
    const Outcome r = run(c.program, c.args, c.setup);
    EXPECT_EQ(r.exit_code, 1) << c.args.back();
    EXPECT_THAT(r.err, HasSubstr(c.args.back() + ": is the input file")) << r.err;
  }
  // Standard input read from the very file.
  const Outcome piped = run(VOCENC_PATH, {"--raw", "-", dir / "in.raw"}, "",
                            "<" + shell_quoted(dir / "in.raw") + " >/dev/null");
  EXPECT_EQ(piped.exit_code, 1);
  EXPECT_THAT(piped.err, HasSubstr("is standard input"));

  EXPECT_EQ(read_file(dir / "in.voc"), voc);
  EXPECT_EQ(read_file(dir / "in.wav"), wav);
  EXPECT_EQ(read_file(dir / "in.g729"), g729);
  EXPECT_EQ(read_file(dir / "in.raw"), raw);
  EXPECT_TRUE(fs::is_symlink(dir / "soft.voc"));
  EXPECT_EQ(dir.entries(), entries) << "nothing created";
}

}  // namespace
