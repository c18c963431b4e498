// Decoders on different threads share nothing: two files decoded at the
// same time come out as each does alone.
#include <gtest/gtest.h>

#include <thread>

#include "support/voice_file_builder.h"
#include "voicefile/voicefile_test_util.h"

namespace {

using testing_support::decode_file;
using testing_support::Decoded;

TEST(VoicefileThreads, TwoDecodersAtOnceGiveWhatEachGivesAlone) {
  // Both CELP, whose arithmetic keeps the most state.
  testing_support::TempFile celp80;
  ASSERT_EQ(testing_support::encode_file(VF_MODE_CELP80, testing_support::speech_samples(2),
                                         celp80.c_str()),
            VF_OK);
  const Decoded first_alone = decode_file(MESSAGE_VOICE_PATH);
  const Decoded second_alone = decode_file(celp80.c_str());
  ASSERT_EQ(first_alone.status, VF_STATUS_END_OF_STREAM);
  ASSERT_EQ(second_alone.status, VF_STATUS_END_OF_STREAM);

  for (int round = 0; round < 20; ++round) {
    Decoded first;
    std::thread other([&] { first = decode_file(MESSAGE_VOICE_PATH); });
    const Decoded second = decode_file(celp80.c_str());
    other.join();
    ASSERT_EQ(first.samples, first_alone.samples) << "round " << round;
    ASSERT_EQ(second.samples, second_alone.samples) << "round " << round;
  }
}

}  // namespace
