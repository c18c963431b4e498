// vocinfo's command line: the shared option conventions, standard input,
// the verdicts and their exit statuses, plain messages and the JSON report.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/voice_file_builder.h"
#include "tools/tool_run.h"

namespace {

using ::testing::HasSubstr;
using testing_support::Bytes;
using testing_support::Outcome;
using testing_support::run;
using testing_support::ScratchDir;
using testing_support::TempFile;
using testing_support::vocinfo;
using testing_support::VoiceFileBuilder;
using testing_support::write_file;
using voice::VoiceMode;

Bytes adpcm_file(int frames) {
  return VoiceFileBuilder(VoiceMode::Adpcm40).speech_frames(frames).end_marker().bytes();
}

TEST(VocinfoCli, OptionsFollowTheConventions) {
  const Outcome version = vocinfo({"-qV"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_THAT(version.out, HasSubstr("vocinfo (voiceplayer) "));

  const Outcome bad = vocinfo({"--json=yes", "x.voc"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_EQ(bad.err,
            "vocinfo: option '--json' takes no value\n"
            "usage: vocinfo [-q] [--json] FILE...\n"
            "Try 'vocinfo --help'.\n");

  ScratchDir dir;
  write_file(dir / "-odd.voc", adpcm_file(3));
  const Outcome dashed = run(VOCINFO_PATH, {"--", "-odd.voc"}, "cd " + dir / "" + " &&");
  EXPECT_EQ(dashed.exit_code, 0) << dashed.err;
}

TEST(VocinfoCli, VerdictsBesideTheStatusAndExitOne) {
  Bytes cut = adpcm_file(10);
  cut.resize(cut.size() - 7 * 40 - 20);  // the end marker and 5.5 frames cut off
  const TempFile truncated(cut);
  VoiceFileBuilder jump(VoiceMode::Celp80);
  const TempFile damaged(
      jump.playable_frames(3).speech_frames(3).zero_frame().jump_frame(1).bytes());

  const Outcome t = vocinfo({truncated.path()});
  EXPECT_EQ(t.exit_code, 1);
  EXPECT_THAT(t.out, HasSubstr("\nVerdict:         truncated after 4 of 10 frames (status 1)\n"));
  const Outcome d = vocinfo({damaged.path()});
  EXPECT_EQ(d.exit_code, 1);
  EXPECT_THAT(
      d.out,
      HasSubstr("\nVerdict:         damaged at frame 3: Error Jump length < 0 (status 16)\n"));

  const Outcome quiet = vocinfo({"--quiet", truncated.path()});
  EXPECT_EQ(quiet.exit_code, 1);
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, "vocinfo: " + truncated.path() + ": truncated after 4 of 10 frames\n");
}

TEST(VocinfoCli, StandardInputAndPipesAreReadWhole) {
  const TempFile file(adpcm_file(5));
  const std::string by_name = vocinfo({file.path()}).out;
  for (const char* name : {"-", "/dev/stdin"}) {
    const Outcome piped = testing_support::run_piped(VOCINFO_PATH, {name}, file.path());
    EXPECT_EQ(piped.exit_code, 0) << piped.err;
    EXPECT_EQ(piped.out, by_name) << name;
  }

  const Outcome empty = run(VOCINFO_PATH, {"-"}, "exec </dev/null;");
  EXPECT_EQ(empty.exit_code, 1);
  EXPECT_EQ(empty.err, "vocinfo: -: empty file\n");
}

TEST(VocinfoCli, PlainMessagesForInputsThatCannotBeOpened) {
  ScratchDir dir;
  write_file(dir / "empty.voc", {});
  write_file(dir / "text.voc", Bytes(600, 'x'));
  write_file(dir / "locked.voc", adpcm_file(3));
  chmod((dir / "locked.voc").c_str(), 0);
  const Outcome r = vocinfo(
      {dir / "empty.voc", dir / "text.voc", dir / "", dir / "missing.voc", dir / "locked.voc"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.err, HasSubstr(dir / "empty.voc: empty file\n"));
  EXPECT_THAT(r.err, HasSubstr(dir / "text.voc: not a voice file: the signature is missing ("));
  EXPECT_THAT(r.err, HasSubstr(dir / ": Is a directory\n"));
  EXPECT_THAT(r.err, HasSubstr(dir / "missing.voc: No such file or directory\n"));
  if (geteuid() != 0) {  // root reads every file
    EXPECT_THAT(r.err, HasSubstr(dir / "locked.voc: Permission denied\n"));
  }

  const Outcome full = run(VOCINFO_PATH, {dir / "text.voc"}, "", ">/dev/full");
  EXPECT_EQ(full.exit_code, 1);
}

TEST(VocinfoCli, JsonArrayWithExactDurationsAndEscapedPaths) {
  ScratchDir dir;
  // A quote, a backslash, a control character, a byte that is no UTF-8, and
  // a letter that is.
  const std::string odd = dir / "q\"b\\n\x01\xff\xc3\xa9.voc";
  write_file(odd,
             VoiceFileBuilder(VoiceMode::Celp64).playable_frames(123).speech_frames(2).bytes());
  const Outcome r = vocinfo({"--json", odd, dir / "missing.voc"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "[\n  {\"path\": \"" + dir / "" +
                       "q\\\"b\\\\n\\u0001\xef\xbf\xbd\xc3\xa9.voc\", \"mode\": \"celp64\", "
                       "\"frame_bytes\": 8, \"bitrate\": 6400, \"frames\": 123, "
                       "\"duration_seconds\": 1.23, \"readable_frames\": 2, \"end_status\": 1, "
                       "\"end_status_text\": \"End of file error\", \"verdict\": \"truncated\"},\n"
                       "  {\"path\": \"" +
                       dir / "missing.voc" + "\", \"error\": \"No such file or directory\"}\n]\n");
}

}  // namespace
