// A window for the audio device's notifications: what is posted reaches
// `handler` later, from the Qt event loop, as a dialog's message queue
// would deliver it; every delivered message is also kept.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <vector>

#include "playback/message.h"

namespace sound_testing {

class PostedMessages : public playback::MessageSink {
 public:
  void Post(const playback::Message& message) override;

  std::function<void(uint32_t id)> handler;
  const std::vector<uint32_t>& delivered() const { return delivered_; }
  int count(uint32_t id) const;
  // The wparam of the last message `id` delivered, 0 if none was.
  uintptr_t lastWparam(uint32_t id) const;

 private:
  QObject receiver_;
  std::vector<uint32_t> delivered_;
  std::vector<uintptr_t> wparams_;  // of each delivered message
};

}  // namespace sound_testing
