// vocenc's command line as users of other tools expect it: getopt_long's
// forms, the standard streams, plain messages and whole lists of inputs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/speech_like.h"
#include "support/voice_file_builder.h"
#include "tools/tool_run.h"

namespace {

using ::testing::HasSubstr;
using testing_support::Bytes;
using testing_support::Outcome;
using testing_support::read_file;
using testing_support::read_voice;
using testing_support::run;
using testing_support::ScratchDir;
using testing_support::shell_quoted;
using testing_support::vocenc;
using testing_support::write_file;

void write_audio(const std::string& path, int format) {
  SF_INFO info{};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
  const std::vector<int16_t> pcm = testing_support::speech_like_pcm(0.5);
  sf_write_short(f, pcm.data(), static_cast<sf_count_t>(pcm.size()));
  sf_close(f);
}

TEST(VocencCli, OptionsInEveryFormGetoptLongTakes) {
  const ScratchDir dir;
  write_file(dir / "-in.raw", testing_support::speech_like_raw(0.2));
  const std::string in_dir = "cd " + shell_quoted(dir / "") + " &&";
  // Bundled short options with a value, a mode in capitals, and "--"
  // before an INPUT that starts with a dash.
  const Outcome bundled =
      run(VOCENC_PATH, {"-qfmADPCM40", "--raw", "--", "-in.raw", "a.voc"}, in_dir);
  ASSERT_EQ(bundled.exit_code, 0) << bundled.err;
  EXPECT_EQ(read_voice(dir / "a.voc").mode, 3);
  const Outcome joined = vocenc({"--mode=Celp80", "--raw", dir / "-in.raw", dir / "b.voc"});
  ASSERT_EQ(joined.exit_code, 0) << joined.err;
  EXPECT_EQ(read_voice(dir / "b.voc").mode, 2);

  const Outcome version = vocenc({"-V"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_THAT(version.out, ::testing::StartsWith("vocenc (voiceplayer) "));

  for (const std::vector<std::string>& bad : {std::vector<std::string>{"-j", "0", "-o", "d", "a"},
                                              {"-j", "2", "a", "b"},
                                              {"a", "b", "c"},
                                              {"--mode=celp99", "a", "b"},
                                              {"--raw=1", "a", "b"}}) {
    const Outcome r = vocenc(bad);
    EXPECT_EQ(r.exit_code, 2) << bad[0];
    EXPECT_THAT(r.err, ::testing::MatchesRegex("vocenc: [^\n]*\nusage: vocenc [^\n]*\n"
                                               "Try 'vocenc --help'.\n"));
  }
}

// From a pipe, WAV streams and FLAC is read whole first: both give what
// the file itself gives.
TEST(VocencCli, StandardInputOfAnyFormatAndNoTerminalOutput) {
  const ScratchDir dir;
  write_audio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  write_audio(dir / "in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
  for (const std::string name : {"in.wav", "in.flac"}) {
    const Outcome piped = testing_support::run_piped(
        VOCENC_PATH, {"-m", "adpcm40", "-", dir / "piped.voc"}, dir / name);
    ASSERT_EQ(piped.exit_code, 0) << name << piped.err;
    ASSERT_EQ(vocenc({"-m", "adpcm40", dir / name, dir / "named.voc"}).exit_code, 0);
    EXPECT_EQ(read_file(dir / "piped.voc"), read_file(dir / "named.voc")) << name;
  }

  // script(1) gives the tool a terminal as standard output.
  const std::string command = std::string(VOCENC_PATH) + " " + dir / "in.wav" + " -";
  const Outcome terminal = run("script", {"-qec", command, "/dev/null"});
  EXPECT_EQ(terminal.exit_code, 2);
  EXPECT_THAT(terminal.out, HasSubstr("vocenc: standard output is a terminal"));
}

TEST(VocencCli, PlainMessagesForWhatCannotBeEncoded) {
  const ScratchDir dir;
  write_file(dir / "text.wav", Bytes(100, 'x'));
  write_file(dir / "odd.raw", Bytes(161, 1));
  write_file(dir / "six.g729", Bytes(96, 0x55));    // 12 frames at 6400, 9.6 at 8000
  write_file(dir / "eight.g729", Bytes(90, 0x55));  // 9 frames at 8000, 11.25 at 6400
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{dir / "missing.wav"}, dir / "missing.wav: No such file or directory"},
      {{dir / ""}, dir / ": Is a directory"},
      {{dir / "text.wav"}, dir / "text.wav: Format not recognised"},  // libsndfile's words
      {{"--from-g729", "8000", dir / "six.g729"},
       dir / "six.g729: the length fits 6400 bit/s frames (8 bytes), not 8000 bit/s (10 bytes); "
             "try --from-g729 6400"},
      {{"--from-g729", "6400", dir / "eight.g729"},
       dir / "eight.g729: the length fits 8000 bit/s frames (10 bytes), not 6400 bit/s (8 "
             "bytes); try --from-g729 8000"},
  };
  for (const auto& [args, says] : cases) {
    std::vector<std::string> full = args;
    full.push_back(dir / "out.voc");
    const Outcome r = vocenc(full);
    EXPECT_EQ(r.exit_code, 1) << says;
    EXPECT_THAT(r.err, ::testing::StartsWith("vocenc: " + says));
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out.voc"));

  const Outcome odd = vocenc({"--raw", dir / "odd.raw", dir / "odd.voc"});
  EXPECT_EQ(odd.exit_code, 0);
  EXPECT_EQ(odd.err, "vocenc: " + dir / "odd.raw" + ": odd trailing byte ignored\n");
  EXPECT_EQ(vocenc({"-q", "--raw", dir / "odd.raw", dir / "odd.voc"}).err, "");
}

TEST(VocencCli, EveryInputIntoAFolderAFailureStoppingNoOther) {
  const ScratchDir dir;
  write_file(dir / "a.raw", testing_support::speech_like_raw(0.4));
  write_file(dir / "b.pcm", testing_support::speech_like_raw(0.3));
  const Outcome r = vocenc({"-j", "2", "--raw", "-m", "adpcm40", "-o", dir / "new/out",
                            dir / "a.raw", dir / "missing.raw", dir / "b.pcm"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "vocenc: " + dir / "missing.raw" + ": No such file or directory\n");
  for (const std::string stem : {"a", "b"}) {
    const std::string input = dir / (stem == "a" ? "a.raw" : "b.pcm");
    ASSERT_EQ(vocenc({"--raw", "-m", "adpcm40", input, dir / "one.voc"}).exit_code, 0);
    EXPECT_EQ(read_file(dir / ("new/out/" + stem + ".voc")), read_file(dir / "one.voc")) << stem;
  }
}

// Two files being encoded at once, each waiting on a FIFO that never ends:
// SIGTERM removes both temporaries, not only the last one made.
TEST(VocencCli, ASignalRemovesTheTemporaryOfEveryFileBeingWritten) {
  const ScratchDir dir;
  const std::string script =
      "cd " + shell_quoted(dir / "") +
      " || exit 1; mkfifo a.raw b.raw; exec 3<>a.raw 4<>b.raw; mkdir out; " +
      shell_quoted(VOCENC_PATH) +
      " -q --raw -j 2 -o out a.raw b.raw & pid=$!; i=0;"
      " while [ $(ls -A out | wc -l) -lt 2 ] && [ $i -lt 500 ]; do sleep 0.01; i=$((i+1)); done;"
      " ls -A out | wc -l >seen; kill -TERM $pid; wait $pid; echo $? >status;"
      " ls -A out | wc -l >left";
  ASSERT_EQ(std::system(script.c_str()), 0);
  const auto text = [&](const std::string& name) {
    const Bytes b = read_file(dir / name);
    return std::string(b.begin(), b.end());
  };
  EXPECT_EQ(text("seen"), "2\n") << "both temporaries were there";
  EXPECT_EQ(text("status"), "143\n") << "ended by SIGTERM";
  EXPECT_EQ(text("left"), "0\n");
}

}  // namespace
