#include "app/resource_recording.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// This test program carries samples/sample.voc as the VOICE resource 136.
TEST(ResourceRecording, FindsTheVoiceResourceByTypeAndId) {
  const app::ResourceRecording recording;
  const auto found = recording.FindResource("VOICE", 136);
  ASSERT_TRUE(found.has_value());
  const std::vector<uint8_t> expected = ReadFile(SAMPLE_VOICE_PATH);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(std::vector<uint8_t>(found->begin(), found->end()), expected);
  // Asked again, the same bytes in the same place.
  EXPECT_EQ(recording.FindResource("VOICE", 136)->data(), found->data());

  EXPECT_FALSE(recording.FindResource("VOICE", 137).has_value());
  EXPECT_FALSE(recording.FindResource("WAVE", 136).has_value());
}

TEST(ResourceRecording, ApplicationNameIsTheExecutablesBaseName) {
  EXPECT_EQ(app::ResourceRecording().ApplicationName(), "app_tests");
}

}  // namespace
