#include "playback/decode_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>

#include "playback/message_queue.h"
#include "playback_test_files.h"
#include "voice/vdec.h"

namespace playback {
namespace {

using namespace std::chrono_literals;
using playback_testing::DecodeWhole;
using playback_testing::MakeRecording;
using testing_support::Bytes;
using testing_support::TempFile;

// The decode thread on its own, with the test as the player.
class DecodeThreadTest : public ::testing::Test {
 protected:
  void Start(int frames) {
    recording_ = MakeRecording(voice::VoiceMode::Adpcm40, frames);
    file_ = std::make_unique<TempFile>(recording_);
    int mode = 0;
    ASSERT_EQ(vdec_open(decoder_, file_->c_str(), &mode), 0);
    ASSERT_EQ(vdec_restart_at(decoder_, file_->c_str(), 0), 0);
    block_.run = 1;
    block_.notifyWindow = &queue_;
    block_.bufferA = bufferA_.data();
    block_.bufferB = bufferB_.data();
    block_.decoder = &decoder_;
    thread_ = StartDecodeThread(block_);
  }

  void TearDown() override {
    block_.run = 0;
    block_.eventFillA.Set();
    block_.eventFillB.Set();
    if (thread_.joinable()) thread_.join();
  }

  void ExpectReady(uint32_t id, uintptr_t bytes, intptr_t frame) {
    const auto message = queue_.TakeWithin(10s);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->id, id);
    EXPECT_EQ(message->wparam, bytes);
    EXPECT_EQ(message->lparam, frame);
  }

  // The decoder's output for frames [first, first + count).
  Bytes Reference(int first, int count) {
    const Bytes whole = DecodeWhole(recording_);
    return Bytes(whole.begin() + first * 160, whole.begin() + (first + count) * 160);
  }

  Bytes recording_;
  std::unique_ptr<TempFile> file_;
  voice::DecoderState decoder_;
  MessageQueue queue_;
  std::array<uint8_t, kPcmBufferBytes> bufferA_{}, bufferB_{};
  DecodeThreadBlock block_;
  std::thread thread_;
};

TEST_F(DecodeThreadTest, FillsAThenBAndEndsWithWhatTheLastBufferHolds) {
  Start(100);
  block_.eventFillA.Set();
  block_.eventFillB.Set();
  ExpectReady(WM_BUFFER_A_READY, 6400, 40);
  ExpectReady(WM_BUFFER_B_READY, 6400, 80);
  block_.eventFillA.Set();
  ExpectReady(WM_BUFFER_A_READY, 3200, 100);
  thread_.join();
  EXPECT_EQ(block_.status, status::kEndOfFile);
  const Bytes last(bufferA_.begin(), bufferA_.begin() + 3200);
  EXPECT_EQ(last, Reference(80, 20));
  EXPECT_TRUE(std::all_of(bufferA_.begin() + 3200, bufferA_.end(), [](uint8_t b) {
    return b == 0;
  })) << "the tail of a short buffer is silence";
}

TEST_F(DecodeThreadTest, AnEndOnABufferBoundaryPostsAnEmptyBuffer) {
  Start(80);
  block_.eventFillA.Set();
  block_.eventFillB.Set();
  ExpectReady(WM_BUFFER_A_READY, 6400, 40);
  ExpectReady(WM_BUFFER_B_READY, 6400, 80);
  block_.eventFillA.Set();
  ExpectReady(WM_BUFFER_A_READY, 0, 80);
  thread_.join();
  EXPECT_EQ(block_.status, status::kEndOfFile);
}

TEST_F(DecodeThreadTest, StoppedWhileWaitingItEndsWithoutDecodingOrPosting) {
  Start(200);
  block_.eventFillA.Set();
  ExpectReady(WM_BUFFER_A_READY, 6400, 40);
  block_.run = 0;
  block_.eventFillA.Set();
  block_.eventFillB.Set();
  thread_.join();
  EXPECT_EQ(queue_.Size(), 0u);
  EXPECT_EQ(decoder_.position, 40);
  EXPECT_EQ(block_.status, status::kSuccess);
}

}  // namespace
}  // namespace playback
