// A D-Bus session bus of the test's own: `dbus-daemon --session` as a child
// process, at the address it prints. Nothing of the user's session bus is
// used or seen; the daemon ends with the object, or with the test process.
#pragma once

#include <QProcess>
#include <QString>

namespace sound_testing {

class SessionBus {
 public:
  // Throws std::runtime_error when the daemon does not start within 10 s.
  SessionBus();
  ~SessionBus();
  SessionBus(const SessionBus&) = delete;
  SessionBus& operator=(const SessionBus&) = delete;

  // For DBUS_SESSION_BUS_ADDRESS.
  const QString& address() const { return address_; }

 private:
  QProcess daemon_;
  QString address_;
};

}  // namespace sound_testing
