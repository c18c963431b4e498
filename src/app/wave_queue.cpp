#include "app/wave_queue.h"

#include <algorithm>
#include <cstring>

namespace app {

void WaveQueue::Push(const uint8_t* data, uint32_t length) {
  written_ += length;
  entries_.push_back({data, length, written_});
}

size_t WaveQueue::Take(uint8_t* out, size_t max) {
  size_t copied = 0;
  for (const Entry& e : entries_) {
    if (copied == max) break;
    if (e.end <= taken_) continue;  // already with the sink, not yet played
    const uint64_t start = e.end - e.length;
    const auto from = static_cast<size_t>(taken_ - start);
    const size_t n = std::min<size_t>(e.length - from, max - copied);
    std::memcpy(out + copied, e.data + from, n);
    copied += n;
    taken_ += n;
  }
  return copied;
}

int WaveQueue::ReleasePlayed(uint64_t playedBytes) {
  int released = 0;
  while (!entries_.empty() && entries_.front().end <= playedBytes) {
    entries_.pop_front();
    ++released;
  }
  return released;
}

bool WaveQueue::Holds(const uint8_t* data) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [data](const Entry& e) { return e.data == data; });
}

int WaveQueue::Clear() {
  const auto dropped = static_cast<int>(entries_.size());
  entries_.clear();
  taken_ = 0;
  written_ = 0;
  return dropped;
}

}  // namespace app
