// The queue behind the audio device, without a sound server: the sink takes
// bytes across buffer boundaries in pieces of any size, and a buffer is
// given back only once the sink has played past its end.
#include "app/wave_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace sound_testing {
namespace {

std::vector<uint8_t> Bytes(uint8_t first, size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

std::vector<uint8_t> Take(app::WaveQueue& queue, size_t max) {
  std::vector<uint8_t> out(max);
  out.resize(queue.Take(out.data(), max));
  return out;
}

TEST(WaveQueue, TheSinkTakesTheBuffersAsOneStreamInPiecesOfAnySize) {
  const std::vector<uint8_t> a = Bytes(0, 6), b = Bytes(100, 4);
  app::WaveQueue queue;
  queue.Push(a.data(), 6);
  queue.Push(b.data(), 0);
  queue.Push(b.data(), 4);

  EXPECT_EQ(Take(queue, 4), (std::vector<uint8_t>{0, 1, 2, 3}));
  EXPECT_EQ(Take(queue, 4), (std::vector<uint8_t>{4, 5, 100, 101}));
  EXPECT_EQ(Take(queue, 9), (std::vector<uint8_t>{102, 103}));
  EXPECT_TRUE(Take(queue, 9).empty());
  EXPECT_EQ(queue.taken(), 10u);
  EXPECT_EQ(queue.size(), 3u);  // taken, but none of them played yet
}

TEST(WaveQueue, ABufferComesBackOnlyOnceItsLastByteHasPlayed) {
  const std::vector<uint8_t> a = Bytes(0, 6), b = Bytes(100, 4);
  app::WaveQueue queue;
  queue.Push(a.data(), 6);
  queue.Push(b.data(), 4);
  Take(queue, 10);

  EXPECT_EQ(queue.ReleasePlayed(5), 0);
  EXPECT_TRUE(queue.Holds(a.data()));
  EXPECT_EQ(queue.ReleasePlayed(6), 1);
  EXPECT_FALSE(queue.Holds(a.data()));
  EXPECT_TRUE(queue.Holds(b.data()));
  EXPECT_EQ(queue.ReleasePlayed(9), 0);
  // Written after the first was given back, a buffer continues the stream.
  queue.Push(a.data(), 0);
  EXPECT_EQ(queue.ReleasePlayed(10), 2);  // the empty one with the one before it
  EXPECT_TRUE(queue.empty());
}

TEST(WaveQueue, ClearingStartsANewStreamAtOffsetZero) {
  const std::vector<uint8_t> a = Bytes(0, 6);
  app::WaveQueue queue;
  queue.Push(a.data(), 6);
  queue.Push(a.data(), 6);
  Take(queue, 8);

  EXPECT_EQ(queue.Clear(), 2);
  EXPECT_EQ(queue.taken(), 0u);
  queue.Push(a.data() + 2, 3);
  EXPECT_EQ(Take(queue, 8), (std::vector<uint8_t>{2, 3, 4}));
  EXPECT_EQ(queue.ReleasePlayed(3), 1);
}

}  // namespace
}  // namespace sound_testing
