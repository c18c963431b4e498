#include "app/player_message_event.h"

namespace app {

namespace {

// Registering a number reserves it, so that no other part of the program is
// handed it for an event of its own.
QEvent::Type Registered(int wanted) {
  return static_cast<QEvent::Type>(QEvent::registerEventType(wanted));
}

QEvent::Type BufferAReadyType() {
  static const QEvent::Type type = Registered(playback::WM_BUFFER_A_READY);
  return type;
}

QEvent::Type BufferBReadyType() {
  static const QEvent::Type type = Registered(playback::WM_BUFFER_B_READY);
  return type;
}

QEvent::Type OtherMessageType() {
  static const QEvent::Type type = Registered(-1);
  return type;
}

}  // namespace

QEvent::Type PlayerMessageEventType(uint32_t messageId) {
  if (messageId == playback::WM_BUFFER_A_READY) return BufferAReadyType();
  if (messageId == playback::WM_BUFFER_B_READY) return BufferBReadyType();
  return OtherMessageType();
}

bool IsPlayerMessageEvent(const QEvent& event) {
  const QEvent::Type type = event.type();
  return type == BufferAReadyType() || type == BufferBReadyType() || type == OtherMessageType();
}

}  // namespace app
