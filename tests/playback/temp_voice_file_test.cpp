#include "playback/temp_voice_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "playback_test_files.h"

namespace playback {
namespace {

namespace fs = std::filesystem;
using playback_testing::ScratchDirectory;
using testing_support::Bytes;
using testing_support::read_file;

Bytes SomeBytes(size_t n) {
  Bytes bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  return bytes;
}

mode_t PermissionsOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(TempVoiceFile, EachPlayerGetsAPrivateDirectoryOfItsOwn) {
  ScratchDirectory root;
  const Bytes bytes = SomeBytes(5000);
  auto mine = TempVoiceFile::Create(bytes, root.path());
  auto other = TempVoiceFile::Create(bytes, root.path());
  ASSERT_TRUE(mine && other);
  EXPECT_NE(mine->directory(), other->directory());
  EXPECT_EQ(fs::path(mine->path()).filename(), "temp.voc");
  EXPECT_EQ(fs::path(mine->path()).parent_path(), mine->directory());
  EXPECT_EQ(fs::path(mine->directory()).parent_path(), root.path());
  EXPECT_EQ(PermissionsOf(mine->directory()), 0700u);
  EXPECT_EQ(PermissionsOf(mine->path()), 0600u);
  EXPECT_EQ(read_file(mine->path()), bytes);

  const std::string myDirectory = mine->directory();
  mine.reset();
  EXPECT_FALSE(fs::exists(myDirectory));
  EXPECT_EQ(read_file(other->path()), bytes);
}

TEST(TempVoiceFile, AFailedCreationLeavesNothingBehind) {
  ScratchDirectory root;
  const std::string notADirectory = root.path() + "/plain";
  std::ofstream(notADirectory) << "x";
  EXPECT_FALSE(TempVoiceFile::Create(SomeBytes(10), notADirectory));

  // A file size limit cuts the write short part-way.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const auto cut = TempVoiceFile::Create(SomeBytes(5000), root.path());
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, savedHandler);
  EXPECT_FALSE(cut);
  EXPECT_EQ(root.entries(), std::vector<std::string>{"plain"});
}

// The id of a process that has ended.
pid_t DeadProcessId() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// A player directory as `owner` would have left it, with its temp.voc.
std::string MakePlayerDirectory(const std::string& root, pid_t owner) {
  const std::string directory = root + "/voiceplayer-" + std::to_string(owner) + "-a1B2c3";
  fs::create_directory(directory);
  std::ofstream(directory + "/temp.voc") << "voice";
  return directory;
}

TEST(StaleVoiceDirectories, ADeadPlayersDirectoryIsRemovedUnlessItHoldsMoreThanItsCopy) {
  ScratchDirectory root;
  const std::string stale = MakePlayerDirectory(root.path(), DeadProcessId());
  ScratchDirectory other;
  const std::string unexpected = MakePlayerDirectory(other.path(), DeadProcessId());
  std::ofstream(unexpected + "/notes.txt") << "not the player's";
  RemoveStaleVoiceDirectories(root.path());
  RemoveStaleVoiceDirectories(other.path());
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_TRUE(fs::exists(unexpected + "/notes.txt"));
}

TEST(StaleVoiceDirectories, ARunningPlayersDirectoryIsKept) {
  ScratchDirectory root;
  const auto mine = TempVoiceFile::Create(SomeBytes(10), root.path());
  ASSERT_TRUE(mine);
  EXPECT_EQ(fs::path(mine->directory())
                .filename()
                .string()
                .rfind("voiceplayer-" + std::to_string(getpid()) + "-", 0),
            0u);
  RemoveStaleVoiceDirectories(root.path());
  EXPECT_TRUE(fs::exists(mine->path()));
}

TEST(StaleVoiceDirectories, ALinkNamedLikeADeadPlayersDirectoryIsNotFollowed) {
  ScratchDirectory root;
  ScratchDirectory elsewhere;
  const std::string target = MakePlayerDirectory(elsewhere.path(), getpid());
  const std::string link =
      root.path() + "/voiceplayer-" + std::to_string(DeadProcessId()) + "-zz9zz9";
  fs::create_directory_symlink(target, link);
  RemoveStaleVoiceDirectories(root.path());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_TRUE(fs::exists(target + "/temp.voc"));
}

TEST(TempVoiceFile, TheSystemTemporaryDirectoryIsTmpdirElseTmp) {
  const char* saved = std::getenv("TMPDIR");
  const std::string savedValue = saved ? saved : "";
  setenv("TMPDIR", "/var/somewhere", 1);
  EXPECT_EQ(SystemTempDirectory(), "/var/somewhere");
  setenv("TMPDIR", "", 1);
  EXPECT_EQ(SystemTempDirectory(), "/tmp");
  unsetenv("TMPDIR");
  EXPECT_EQ(SystemTempDirectory(), "/tmp");
  if (saved) setenv("TMPDIR", savedValue.c_str(), 1);
}

}  // namespace
}  // namespace playback
