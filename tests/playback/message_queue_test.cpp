#include "playback/message_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace playback {
namespace {

using namespace std::chrono_literals;

TEST(MessageQueue, KeepsThePostingOrderWhileGrowing) {
  MessageQueue queue;
  constexpr int kMessages = 1000;  // far more than the ring holds at first
  std::thread poster([&] {
    for (int i = 0; i < kMessages; ++i)
      queue.Post({WM_BUFFER_A_READY, static_cast<uintptr_t>(i), -i});
  });
  for (int i = 0; i < kMessages; ++i) {
    const auto message = queue.TakeWithin(10s);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->wparam, static_cast<uintptr_t>(i));
    EXPECT_EQ(message->lparam, -i);
  }
  poster.join();
  EXPECT_FALSE(queue.Take());
}

}  // namespace
}  // namespace playback
