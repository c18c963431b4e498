// SIGTERM, SIGINT and SIGHUP end the player the way closing its window does,
// so that the stream stops and the temporary copy of the recording is
// deleted. A signal handler may do almost nothing safely: it writes the
// signal's number into a pipe, and a notifier on the pipe's other end hands
// it to the user-interface thread's event loop.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace app {

class TerminationSignals : public QObject {
 public:
  // `onSignal` runs on this thread, from its event loop, with the signal's
  // number. One instance at a time; the signals' default actions come back
  // when it goes.
  explicit TerminationSignals(std::function<void(int signal)> onSignal);
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  void ReadSignals();

  std::function<void(int)> onSignal_;
  int readEnd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace app
