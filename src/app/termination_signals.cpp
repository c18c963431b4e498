#include "app/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <system_error>

namespace app {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler's only way out; -1 while no instance exists.
volatile sig_atomic_t g_writeEnd = -1;

void WriteSignalNumber(int signal) {
  const int savedErrno = errno;
  const auto number = static_cast<unsigned char>(signal);
  // A full pipe already holds a signal that will end the player.
  if (write(g_writeEnd, &number, 1) < 0) {
  }
  errno = savedErrno;
}

void SetHandler(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // The decode thread and Qt's threads carry on with their system calls.
  action.sa_flags = SA_RESTART;
  for (const int signal : kSignals) sigaction(signal, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal)
    : onSignal_(std::move(onSignal)) {
  int ends[2];
  // Non-blocking: neither the handler nor the reader may ever wait on it.
  if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe for the termination signals");
  readEnd_ = ends[0];
  g_writeEnd = ends[1];
  notifier_ = new QSocketNotifier(readEnd_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::ReadSignals);
  SetHandler(WriteSignalNumber);
}

TerminationSignals::~TerminationSignals() {
  SetHandler(SIG_DFL);
  close(g_writeEnd);
  g_writeEnd = -1;
  delete notifier_;  // before the descriptor it watches is closed
  close(readEnd_);
}

void TerminationSignals::ReadSignals() {
  unsigned char numbers[16];
  ssize_t count = 0;
  while ((count = read(readEnd_, numbers, sizeof numbers)) > 0)
    for (ssize_t i = 0; i < count; ++i) onSignal_(numbers[i]);
}

}  // namespace app
