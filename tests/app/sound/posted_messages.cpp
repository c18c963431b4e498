#include "posted_messages.h"

#include <algorithm>

namespace sound_testing {

void PostedMessages::Post(const playback::Message& message) {
  const uint32_t id = message.id;
  QMetaObject::invokeMethod(
      &receiver_,
      [this, id] {
        delivered_.push_back(id);
        if (handler) handler(id);
      },
      Qt::QueuedConnection);
}

int PostedMessages::count(uint32_t id) const {
  return static_cast<int>(std::count(delivered_.begin(), delivered_.end(), id));
}

}  // namespace sound_testing
