#include "playback/auto_reset_event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace playback {
namespace {

using namespace std::chrono_literals;

// True when a wait on `event` passes within a moment; a wait that would
// block is released by a signal afterwards so that the waiter can end.
bool WaitPasses(AutoResetEvent& event) {
  std::atomic<bool> passed{false};
  std::thread waiter([&] {
    event.Wait();
    passed = true;
  });
  std::this_thread::sleep_for(50ms);
  const bool passedAtOnce = passed;
  if (!passedAtOnce) event.Set();
  waiter.join();
  return passedAtOnce;
}

TEST(AutoResetEvent, SignalsDoNotAddUpAndEachWaitTakesTheSignal) {
  AutoResetEvent event;
  EXPECT_FALSE(WaitPasses(event));
  event.Set();
  event.Set();
  EXPECT_TRUE(WaitPasses(event));
  EXPECT_FALSE(WaitPasses(event));
  event.Set();
  event.Reset();
  EXPECT_FALSE(WaitPasses(event));
}

}  // namespace
}  // namespace playback
