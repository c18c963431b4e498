#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(PlayerCommandLine, TakesPlayAndHelpAndRefusesAnythingElse) {
  auto parse = [](std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    return app::ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  };
  EXPECT_FALSE(parse({"player"}).exitStatus);
  EXPECT_FALSE(parse({"player"}).options.playThrough);
  EXPECT_TRUE(parse({"player", "--play"}).options.playThrough);
  testing::internal::CaptureStdout();
  EXPECT_EQ(parse({"player", "--help"}).exitStatus, 0);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("usage: player [--play] [--help]"),
            std::string::npos);
  testing::internal::CaptureStderr();
  EXPECT_EQ(parse({"player", "--bogus"}).exitStatus, 2);
  EXPECT_EQ(parse({"player", "--play", "file"}).exitStatus, 2);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("usage: player"), std::string::npos);
}

}  // namespace
