#include "session_bus.h"

#include <signal.h>
#include <sys/prctl.h>

#include <stdexcept>

namespace sound_testing {

SessionBus::SessionBus() {
  daemon_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
  daemon_.setProcessChannelMode(QProcess::SeparateChannels);
  daemon_.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
  while (!daemon_.canReadLine())
    if (!daemon_.waitForReadyRead(10'000))
      throw std::runtime_error("dbus-daemon --session did not start: " +
                               daemon_.readAllStandardError().toStdString());
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

SessionBus::~SessionBus() {
  daemon_.terminate();
  daemon_.waitForFinished(5'000);
}

}  // namespace sound_testing
