#include "playback/message_queue.h"

namespace playback {

namespace {
constexpr size_t kInitialCapacity = 64;
}

MessageQueue::MessageQueue() : ring_(kInitialCapacity) {}

void MessageQueue::Post(const Message& message) {
  {
    std::lock_guard lock(mutex_);
    if (count_ == ring_.size()) GrowLocked();
    ring_[(head_ + count_) % ring_.size()] = message;
    ++count_;
  }
  posted_.notify_one();
}

std::optional<Message> MessageQueue::Take() {
  std::lock_guard lock(mutex_);
  return TakeLocked();
}

std::optional<Message> MessageQueue::TakeWithin(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  posted_.wait_for(lock, timeout, [this] { return count_ > 0; });
  return TakeLocked();
}

size_t MessageQueue::Size() const {
  std::lock_guard lock(mutex_);
  return count_;
}

std::optional<Message> MessageQueue::TakeLocked() {
  if (count_ == 0) return std::nullopt;
  const Message message = ring_[head_];
  head_ = (head_ + 1) % ring_.size();
  --count_;
  return message;
}

void MessageQueue::GrowLocked() {
  std::vector<Message> grown(2 * ring_.size());
  for (size_t i = 0; i < count_; ++i) grown[i] = ring_[(head_ + i) % ring_.size()];
  ring_.swap(grown);
  head_ = 0;
}

}  // namespace playback
