// vocdec's command line, run as built: options, standard streams, the types
// libsndfile writes, what it says about damaged files, and folders of files.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/voice_file_builder.h"
#include "tools/tool_run.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing_support::Bytes;
using testing_support::Outcome;
using testing_support::read_audio;
using testing_support::read_file;
using testing_support::run;
using testing_support::ScratchDir;
using testing_support::shell_quoted;
using testing_support::standard_input_from;
using testing_support::vocdec;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

void write_voice(const std::string& path, int frames) {
  VoiceFileBuilder file(VoiceMode::Adpcm40);
  file.speech_frames(frames).end_marker().write(path);
}

struct Piped {
  int exit_code = -1;
  Bytes out;
};

// vocdec with its standard output into a pipe.
Piped vocdec_into_pipe(const std::vector<std::string>& args, const std::string& setup = "") {
  std::string command = setup + " exec " + shell_quoted(VOCDEC_PATH);
  for (const std::string& a : args) command += " " + shell_quoted(a);
  std::FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  Piped result;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    result.out.insert(result.out.end(), buffer, buffer + got);
  const int status = ::pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(VocdecCli, OptionsAsGetoptLongTakesThem) {
  const ScratchDir dir;
  write_voice(dir / "in.voc", 5);
  const Outcome version = vocdec({"-V"});
  EXPECT_EQ(version.out, "vocdec (voiceplayer) 0.1.0\n");
  // Bundled short options, --opt=value, and -- before an OUTPUT named like one.
  const Outcome r = run(VOCDEC_PATH, {"-fqt", "FLAC", "--", "in.voc", "-x.wav"},
                        "cd " + shell_quoted(dir / "") + " &&");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(read_audio(dir / "-x.wav").format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);

  const Outcome bad = vocdec({"--jobs=0", "-o", dir / "out", dir / "in.voc"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_EQ(bad.err,
            "vocdec: -j takes a whole number of threads from 1, not '0'\n"
            "usage: vocdec [-f] [-q] [--raw | -t TYPE | --g729] INPUT OUTPUT\n"
            "Try 'vocdec --help'.\n");
}

// The extension in any case picks libsndfile's format and a codec for it;
// one it cannot write is refused before anything is written.
TEST(VocdecCli, OutputExtensionChoosesTheType) {
  const ScratchDir dir;
  write_voice(dir / "in.voc", 5);
  const std::pair<const char*, int> types[] = {
      {"a.AIFF", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
      {"a.Ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
      {"a.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
      {"a.MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
      {"a.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16},
  };
  for (const auto& [name, format] : types) {
    const Outcome r = vocdec({dir / "in.voc", dir / name});
    EXPECT_EQ(r.exit_code, 0) << name << ": " << r.err;
    EXPECT_EQ(read_audio(dir / name).format, format) << name;
  }
  const long entries = dir.entries();
  const Outcome r = vocdec({dir / "in.voc", dir / "a.xyz"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_THAT(r.err, HasSubstr("'xyz' is no type libsndfile writes here; the types are aiff,"));
  EXPECT_THAT(r.err, HasSubstr(" mp3, "));
  EXPECT_EQ(dir.entries(), entries) << "nothing written";
}

// Into a pipe the file streams with its header sized ahead: the same bytes
// as a file, in WAV (which libsndfile refuses to pipe) and AIFF (which it
// pipes as a header alone), and no temporary file is needed for it.
// Standard input reads like the named file.
TEST(VocdecCli, StandardInputAndOutput) {
  const ScratchDir dir;
  write_voice(dir / "in.voc", 30);
  for (const char* type : {"wav", "aiff"}) {
    const std::string file = dir / (std::string("out.") + type);
    ASSERT_EQ(vocdec({dir / "in.voc", file}).exit_code, 0);
    const Piped piped =
        vocdec_into_pipe({"-t", type, "-", "-"},
                         "export TMPDIR=/nonexistent;" + standard_input_from(dir / "in.voc"));
    EXPECT_EQ(piped.exit_code, 0) << type;
    EXPECT_TRUE(piped.out == read_file(file)) << type << ": " << piped.out.size() << " bytes";
  }
  const Outcome empty = run(VOCDEC_PATH, {"-", dir / "x.wav"}, standard_input_from("/dev/null"));
  EXPECT_EQ(empty.err, "vocdec: standard input: empty file\n");
  EXPECT_EQ(empty.exit_code, 1);
}

TEST(VocdecCli, BinaryOutputToATerminalIsRefused) {
  const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  ASSERT_EQ(::grantpt(terminal), 0);
  ASSERT_EQ(::unlockpt(terminal), 0);
  const ScratchDir dir;
  write_voice(dir / "in.voc", 5);
  const Outcome r =
      run(VOCDEC_PATH, {dir / "in.voc", "-"}, "", ">" + shell_quoted(ptsname(terminal)));
  ::close(terminal);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_THAT(r.err, HasSubstr("standard output is a terminal"));
}

// Everything decoded is written; how the reading ended is said, exit 1.
TEST(VocdecCli, TruncatedAndDamagedFilesAreReported) {
  const ScratchDir dir;
  VoiceFileBuilder truncated(VoiceMode::Adpcm40), damaged(VoiceMode::Celp80);
  truncated.playable_frames(300).speech_frames(62).end_marker().write(dir / "truncated.voc");
  damaged.speech_frames(3).zero_frame().jump_frame(5).speech_frames(2).end_marker();
  damaged.write(dir / "damaged.voc");

  const Outcome t = vocdec({dir / "truncated.voc", dir / "t.wav"});
  EXPECT_EQ(t.exit_code, 1);
  EXPECT_EQ(t.err, "vocdec: " + dir / "truncated.voc" + ": truncated after 62 of 300 frames\n");
  EXPECT_EQ(read_audio(dir / "t.wav").samples.size(), 62u * 80);

  const Outcome d = vocdec({dir / "damaged.voc", dir / "d.wav"});
  EXPECT_EQ(d.exit_code, 1);
  EXPECT_EQ(d.err,
            "vocdec: " + dir / "damaged.voc" + ": damaged at frame 3: Error Jump length < 0\n");
  EXPECT_EQ(read_audio(dir / "d.wav").samples.size(), 3u * 80);
}

// Each INPUT into DIR, named after it; a failing one does not stop the rest.
TEST(VocdecCli, FolderOfFilesOnSeveralThreads) {
  const ScratchDir dir;
  std::vector<std::string> args = {"-j", "3", "-t", "FLAC", "-o", dir / "out"};
  for (const char* name : {"a.voc", "b.voc", "c.voc", "d.voc"}) {
    write_voice(dir / name, 40);
    args.push_back(dir / name);
  }
  args.push_back(dir / "missing.voc");
  const Outcome r = vocdec(args);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "vocdec: " + dir / "missing.voc" +
                       ": No such file or directory\nvocdec: 1 of 5 files failed\n");
  for (const char* name : {"a.flac", "b.flac", "c.flac", "d.flac"})
    EXPECT_EQ(read_audio(dir / ("out/" + std::string(name))).samples.size(), 40u * 80) << name;
  EXPECT_FALSE(fs::exists(dir / "out/missing.flac"));
}

// The signal that a write past the file size limit raises in one thread
// removes the temporaries of every thread.
TEST(VocdecCli, SignalDuringAFolderRunLeavesNoTemporaries) {
  const ScratchDir dir;
  fs::create_directory(dir / "out");
  std::vector<std::string> args = {"-j", "2", "-o", dir / "out"};
  for (const char* name : {"a.voc", "b.voc", "c.voc", "d.voc"}) {
    write_voice(dir / name, 400);
    args.push_back(dir / name);
  }
  const Outcome r = run(VOCDEC_PATH, args, "ulimit -c 0; ulimit -f 8;");
  EXPECT_EQ(r.signal, SIGXFSZ) << r.err;
  EXPECT_TRUE(fs::is_empty(dir / "out"));
}

}  // namespace
