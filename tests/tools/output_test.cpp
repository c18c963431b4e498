// How the built vocdec and vocenc treat their OUTPUT: never one of their
// inputs, a read-only file only when forced, symbolic and hard links kept,
// no temporary left behind by a signal, and a pipe given the same bytes as
// a file.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/speech_like.h"
#include "support/voice_file_builder.h"
#include "tools/tool_run.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testing_support::Bytes;
using testing_support::Outcome;
using testing_support::read_file;
using testing_support::run;
using testing_support::ScratchDir;
using testing_support::shell_quoted;
using testing_support::vocdec;
using testing_support::vocenc;
using testing_support::VoiceFileBuilder;
using testing_support::write_file;
using voice::VoiceMode;

Bytes text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// A voice file, the WAV it decodes to, a speech input and a bitstream.
struct Inputs {
  explicit Inputs(const ScratchDir& dir) : dir(dir) {
    VoiceFileBuilder celp(VoiceMode::Celp80);
    celp.speech_frames(20).end_marker().write(dir / "in.voc");
    EXPECT_EQ(vocdec({dir / "in.voc", dir / "in.wav"}).exit_code, 0);
    EXPECT_EQ(vocdec({"--g729", dir / "in.voc", dir / "in.g729"}).exit_code, 0);
    write_file(dir / "in.raw", testing_support::speech_like_raw(0.3));
  }
  const ScratchDir& dir;
};

mode_t mode_of(const std::string& path) {
  struct stat sb {};
  EXPECT_EQ(::stat(path.c_str(), &sb), 0) << path;
  return sb.st_mode & 07777;
}

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
      {VOCDEC_PATH, {"--raw", "--force", dir / "in.voc", dir / "in.voc"}, ""},
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

TEST(ToolOutput, ReadOnlyOutputIsReplacedOnlyWhenForced) {
  const ScratchDir dir;
  const Inputs inputs(dir);
  const long entries = dir.entries();
  write_file(dir / "out.wav", text("old"));
  write_file(dir / "out.voc", text("old"));
  fs::permissions(dir / "out.wav",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir / "out.voc", fs::perms::owner_read);

  const Outcome dec = vocdec({dir / "in.voc", dir / "out.wav"});
  EXPECT_EQ(dec.exit_code, 1);
  EXPECT_THAT(dec.err, HasSubstr(dir / "out.wav" + ": is read-only; --force replaces it"));
  const Outcome enc = vocenc({"--raw", dir / "in.raw", dir / "out.voc"});
  EXPECT_EQ(enc.exit_code, 1);
  EXPECT_THAT(enc.err, HasSubstr("read-only"));
  EXPECT_EQ(read_file(dir / "out.wav"), text("old"));
  EXPECT_EQ(read_file(dir / "out.voc"), text("old"));
  EXPECT_EQ(dir.entries(), entries + 2) << "no leftovers";

  const Outcome forced_dec = vocdec({"--force", dir / "in.voc", dir / "out.wav"});
  EXPECT_EQ(forced_dec.exit_code, 0) << forced_dec.err;
  EXPECT_EQ(read_file(dir / "out.wav"), read_file(dir / "in.wav"));
  EXPECT_EQ(mode_of(dir / "out.wav"), 0444u) << "still read-only";
  const Outcome forced_enc = vocenc({"-f", "--raw", dir / "in.raw", dir / "out.voc"});
  EXPECT_EQ(forced_enc.exit_code, 0) << forced_enc.err;
  EXPECT_EQ(testing_support::read_voice(dir / "out.voc").frames, 31);
  EXPECT_EQ(mode_of(dir / "out.voc"), 0400u);

  for (const char* program : {VOCDEC_PATH, VOCENC_PATH})
    EXPECT_THAT(run(program, {"--help"}).out, HasSubstr("--force")) << program;
}

TEST(ToolOutput, SetIdBitsDoNotPassToTheNewFile) {
  const ScratchDir dir;
  const Inputs inputs(dir);
  write_file(dir / "out.wav", text("old"));
  ASSERT_EQ(::chmod((dir / "out.wav").c_str(), 06755), 0);
  ASSERT_EQ(vocdec({dir / "in.voc", dir / "out.wav"}).exit_code, 0);
  EXPECT_EQ(mode_of(dir / "out.wav"), 0755u);

  // Rewritten in place too (see below), the bits go.
  write_file(dir / "linked.wav", text("old"));
  fs::create_hard_link(dir / "linked.wav", dir / "other.wav");
  ASSERT_EQ(::chmod((dir / "linked.wav").c_str(), 06755), 0);
  ASSERT_EQ(vocdec({dir / "in.voc", dir / "linked.wav"}).exit_code, 0);
  EXPECT_EQ(mode_of(dir / "other.wav"), 0755u);
}

// Through a link, existing or dangling, relative to the link's folder, the
// file it names is written and the link stays a link.
TEST(ToolOutput, SymbolicLinksStayLinks) {
  const ScratchDir dir;
  const Inputs inputs(dir);
  fs::create_directory(dir / "sub");
  write_file(dir / "target.wav", text("old"));
  fs::create_symlink("../target.wav", dir / "sub/link.wav");
  fs::create_symlink("../absent.wav", dir / "sub/dangling.wav");
  fs::create_symlink("dangling.wav", dir / "sub/chain.voc");

  ASSERT_EQ(vocdec({dir / "in.voc", dir / "sub/link.wav"}).exit_code, 0);
  ASSERT_EQ(vocdec({dir / "in.voc", dir / "sub/dangling.wav"}).exit_code, 0);
  EXPECT_TRUE(fs::is_symlink(dir / "sub/link.wav"));
  EXPECT_TRUE(fs::is_symlink(dir / "sub/dangling.wav"));
  EXPECT_EQ(read_file(dir / "target.wav"), read_file(dir / "in.wav"));
  EXPECT_EQ(read_file(dir / "absent.wav"), read_file(dir / "in.wav"));

  fs::remove(dir / "absent.wav");
  const Outcome r = vocenc({"--raw", dir / "in.raw", dir / "sub/chain.voc"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir / "sub/chain.voc"));
  EXPECT_TRUE(fs::is_symlink(dir / "sub/dangling.wav"));
  EXPECT_EQ(testing_support::read_voice(dir / "absent.wav").frames, 31);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "sub"), {}), 3) << "no leftovers";
}

// A file with more hard links gets the new bytes in place: every name sees
// them, and it stays one file.
TEST(ToolOutput, HardLinkedOutputIsRewrittenInPlace) {
  const ScratchDir dir;
  const Inputs inputs(dir);
  write_file(dir / "out.wav", Bytes(100000, 0x55));  // longer than the new content
  fs::create_hard_link(dir / "out.wav", dir / "alias.wav");
  const long entries = dir.entries();

  const Outcome r = vocdec({dir / "in.voc", dir / "out.wav"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(read_file(dir / "alias.wav"), read_file(dir / "in.wav"));
  EXPECT_TRUE(fs::equivalent(dir / "out.wav", dir / "alias.wav"));
  EXPECT_EQ(fs::hard_link_count(dir / "out.wav"), 2u);

  const Outcome e = vocenc({"--raw", dir / "in.raw", dir / "alias.wav"});
  ASSERT_EQ(e.exit_code, 0) << e.err;
  EXPECT_EQ(testing_support::read_voice(dir / "out.wav").frames, 31);
  EXPECT_EQ(dir.entries(), entries) << "no leftovers";

  // A failure while writing (past a file size limit) leaves both names with
  // the old content.
  const Bytes before = read_file(dir / "out.wav");
  write_file(dir / "long.raw", testing_support::speech_like_raw(1.0));
  const Outcome bad =
      run(VOCENC_PATH, {"--mode", "adpcm40", "--raw", dir / "long.raw", dir / "out.wav"},
          "trap '' XFSZ; ulimit -f 2;");
  EXPECT_EQ(bad.exit_code, 1);
  EXPECT_EQ(read_file(dir / "alias.wav"), before);
  EXPECT_EQ(dir.entries(), entries + 1) << "no leftovers";
}

// vocenc reads its samples from a pipe the test holds open, so that it is
// still encoding (its temporary made) when the signal comes.
void expect_signal_removes_temporary(int signal_number) {
  const ScratchDir dir;
  int feed[2];
  ASSERT_EQ(::pipe2(feed, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, feed[0], STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  // The signals at their defaults and unblocked, whatever runs the test.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t set;
  sigemptyset(&set);
  posix_spawnattr_setsigmask(&attr, &set);
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGXFSZ}) sigaddset(&set, s);
  posix_spawnattr_setsigdefault(&attr, &set);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const std::string out = dir / "out.voc";
  std::vector<std::string> args = {VOCENC_PATH, "--raw", "-", out};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, VOCENC_PATH, &actions, &attr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(feed[0]);
  const Bytes samples = testing_support::speech_like_raw(0.5);
  ASSERT_EQ(::write(feed[1], samples.data(), samples.size()), static_cast<ssize_t>(samples.size()));

  // Poll for the temporary, then signal.
  bool seen = false;
  for (int i = 0; i < 1000 && !seen; ++i) {
    for (const auto& entry : fs::directory_iterator(dir / ""))
      seen |= entry.path().filename().string().starts_with(".out.voc.vocenc-");
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(seen) << "no temporary appeared";
  ::kill(pid, signal_number);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ::close(feed[1]);
  EXPECT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  if (WIFSIGNALED(status)) {
    EXPECT_EQ(WTERMSIG(status), signal_number);
  }
  EXPECT_EQ(dir.entries(), 0) << "the temporary is gone";
}

TEST(ToolOutput, SigtermAndSigintRemoveTheTemporary) {
  expect_signal_removes_temporary(SIGTERM);
  expect_signal_removes_temporary(SIGINT);
}

// Past a file size limit the kernel's SIGXFSZ ends the program (no longer
// ignored here, unlike in FailedWriteLeavesNoPartialOutput); the older
// file stays and nothing is left.
TEST(ToolOutput, SigxfszRemovesTheTemporaryAndKeepsTheOlderFile) {
  const ScratchDir dir;
  VoiceFileBuilder file(VoiceMode::Adpcm40);
  file.speech_frames(100).end_marker().write(dir / "in.voc");
  write_file(dir / "in.raw", testing_support::speech_like_raw(1.0));
  write_file(dir / "out.wav", text("old"));
  // No core file from the signal's default action.
  const Outcome dec =
      run(VOCDEC_PATH, {dir / "in.voc", dir / "out.wav"}, "ulimit -c 0; ulimit -f 4;");
  const Outcome enc =
      run(VOCENC_PATH, {"--raw", "--mode", "adpcm40", dir / "in.raw", dir / "out.wav"},
          "ulimit -c 0; ulimit -f 2;");
  for (const Outcome& r : {dec, enc}) {
    EXPECT_EQ(r.signal, SIGXFSZ) << "exit " << r.exit_code << ": " << r.err;
    EXPECT_EQ(read_file(dir / "out.wav"), text("old"));
  }
  EXPECT_EQ(dir.entries(), 3) << "no leftovers";
}

struct FifoRun {
  Outcome outcome;
  Bytes bytes;  // what came through the pipe
};

// Runs the program with a reader on the named pipe `fifo`, made here.
FifoRun run_into_fifo(const std::string& fifo, const char* program,
                      const std::vector<std::string>& args) {
  FifoRun result;
  if (!fs::exists(fifo)) {
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  }
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    result.bytes.assign(std::istreambuf_iterator<char>(in), {});
  });
  result.outcome = run(program, args);
  // Should the program never have opened the pipe, the reader still ends.
  if (const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
  reader.join();
  return result;
}

// The headers are completed at the end; a pipe still gets the same bytes
// as a file, through standard output or a named pipe.
TEST(ToolOutput, IntoAPipeTheToolsWriteWhatTheyWriteIntoAFile) {
  const ScratchDir dir;
  write_file(dir / "in.raw", testing_support::speech_like_raw(0.5));
  const Outcome r = vocenc({"--mode", "adpcm40", "--raw", dir / "in.raw", dir / "file.voc"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Bytes expected = read_file(dir / "file.voc");
  ASSERT_EQ(testing_support::read_voice(dir / "file.voc").frames, 50);

  const std::string command = "exec " + shell_quoted(VOCENC_PATH) + " --mode adpcm40 --raw " +
                              shell_quoted(dir / "in.raw") + " - 2>" +
                              shell_quoted(dir / "err.txt");
  std::FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  Bytes piped;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    piped.insert(piped.end(), buffer, buffer + got);
  const int status = ::pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(read_file(dir / "err.txt"), Bytes{});
  EXPECT_TRUE(piped == expected) << piped.size() << " bytes, not " << expected.size();

  const FifoRun f = run_into_fifo(dir / "fifo", VOCENC_PATH,
                                  {"--mode", "adpcm40", "--raw", dir / "in.raw", dir / "fifo"});
  EXPECT_EQ(f.outcome.exit_code, 0) << f.outcome.err;
  EXPECT_TRUE(f.bytes == expected) << f.bytes.size() << " bytes, not " << expected.size();

  // vocdec's WAV header is completed at the end too.
  VoiceFileBuilder voc(VoiceMode::Adpcm40);
  voc.speech_frames(10).end_marker().write(dir / "in.voc");
  ASSERT_EQ(vocdec({dir / "in.voc", dir / "file.wav"}).exit_code, 0);
  const FifoRun wav = run_into_fifo(dir / "fifo", VOCDEC_PATH, {dir / "in.voc", dir / "fifo"});
  EXPECT_EQ(wav.outcome.exit_code, 0) << wav.outcome.err;
  EXPECT_TRUE(wav.bytes == read_file(dir / "file.wav"));
}

}  // namespace
