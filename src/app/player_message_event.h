// A message for the player dialog travelling through Qt's event queue. The
// decode thread's buffer-ready messages keep their numbers as event types;
// every other message travels under one event type registered for them.
// Posting one (QCoreApplication::postEvent) is safe from any thread, and
// the dialog handles it on its own thread, one at a time, in posting order.
#pragma once

#include <QEvent>

#include "playback/message.h"

namespace app {

QEvent::Type PlayerMessageEventType(uint32_t messageId);
bool IsPlayerMessageEvent(const QEvent& event);

class PlayerMessageEvent : public QEvent {
 public:
  explicit PlayerMessageEvent(const playback::Message& message)
      : QEvent(PlayerMessageEventType(message.id)), message_(message) {}

  const playback::Message& message() const { return message_; }

 private:
  playback::Message message_;
};

}  // namespace app
