#include "qt_events.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdlib>

namespace sound_testing {

void EnsureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "app_sound_tests";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
}

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
