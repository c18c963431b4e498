#include "qt_events.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace sound_testing {

bool RunEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // A short nested loop rather than polling: it sleeps until an event or
    // the timer.
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

void RunEventsFor(std::chrono::milliseconds duration) {
  const auto deadline = std::chrono::steady_clock::now() + duration;
  RunEventsUntil([&] { return std::chrono::steady_clock::now() >= deadline; }, duration * 2);
}

}  // namespace sound_testing
