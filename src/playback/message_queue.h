// The user-interface thread's message queue: posted from any thread, taken
// by the user-interface thread in posting order.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

#include "playback/message.h"

namespace playback {

class MessageQueue : public MessageSink {
 public:
  MessageQueue();

  void Post(const Message& message) override;
  // The oldest message, or none when the queue is empty.
  std::optional<Message> Take();
  // As Take, but waits up to `timeout` for a message to arrive.
  std::optional<Message> TakeWithin(std::chrono::milliseconds timeout);
  size_t Size() const;

 private:
  std::optional<Message> TakeLocked();
  void GrowLocked();

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  // A ring that only grows: posting from the decode thread must not allocate
  // once the queue has seen its usual handful of messages.
  std::vector<Message> ring_;
  size_t head_ = 0;
  size_t count_ = 0;
};

}  // namespace playback
