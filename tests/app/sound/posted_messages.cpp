#include "posted_messages.h"

#include <algorithm>

namespace sound_testing {

void PostedMessages::Post(const playback::Message& message) {
  const uint32_t id = message.id;
  const uintptr_t wparam = message.wparam;
  QMetaObject::invokeMethod(
      &receiver_,
      [this, id, wparam] {
        delivered_.push_back(id);
        wparams_.push_back(wparam);
        if (handler) handler(id);
      },
      Qt::QueuedConnection);
}

int PostedMessages::count(uint32_t id) const {
  return static_cast<int>(std::count(delivered_.begin(), delivered_.end(), id));
}

uintptr_t PostedMessages::lastWparam(uint32_t id) const {
  for (size_t i = delivered_.size(); i-- > 0;)
    if (delivered_[i] == id) return wparams_[i];
  return 0;
}

}  // namespace sound_testing
