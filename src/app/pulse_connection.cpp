#include "app/pulse_connection.h"

namespace app {

namespace {

// A timer on the main loop that wakes a waiter at its deadline.
struct Alarm {
  PulseConnection* connection;
  bool rang = false;
};

void Ring(pa_mainloop_api* /*api*/, pa_time_event* /*event*/, const timeval* /*tv*/, void* alarm) {
  auto* a = static_cast<Alarm*>(alarm);
  a->rang = true;
  a->connection->Wake();
}

struct DefaultSinkAnswer {
  PulseConnection* connection;
  bool answered = false;
  bool hasSink = false;
};

void ServerInfoArrived(pa_context* /*context*/, const pa_server_info* info, void* answer) {
  auto* a = static_cast<DefaultSinkAnswer*>(answer);
  a->answered = true;
  // A server without any sink names none.
  a->hasSink =
      info != nullptr && info->default_sink_name != nullptr && info->default_sink_name[0] != '\0';
  a->connection->Wake();
}

}  // namespace

PulseConnection::PulseConnection(const std::string& clientName) {
  loop_ = pa_threaded_mainloop_new();
  if (loop_ == nullptr) return;
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), clientName.c_str());
  if (context_ != nullptr) pa_context_set_state_callback(context_, &StateChanged, this);
  if (pa_threaded_mainloop_start(loop_) < 0) {
    // Without its thread the connection can do nothing; Connect says so.
    if (context_ != nullptr) pa_context_unref(context_);
    context_ = nullptr;
  }
}

PulseConnection::~PulseConnection() {
  if (loop_ == nullptr) return;
  if (context_ != nullptr) {
    pa_threaded_mainloop_lock(loop_);
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_threaded_mainloop_unlock(loop_);
  }
  pa_threaded_mainloop_stop(loop_);
  if (context_ != nullptr) pa_context_unref(context_);
  pa_threaded_mainloop_free(loop_);
}

PulseConnection::Lock::Lock(PulseConnection& connection) : loop_(connection.loop_) {
  if (loop_ != nullptr) pa_threaded_mainloop_lock(loop_);
}

PulseConnection::Lock::~Lock() {
  if (loop_ != nullptr) pa_threaded_mainloop_unlock(loop_);
}

pa_usec_t PulseConnection::DeadlineIn(int milliseconds) {
  return pa_rtclock_now() + static_cast<pa_usec_t>(milliseconds) * PA_USEC_PER_MSEC;
}

// No autospawn: starting a server is the session's business, and a daemon
// forked from the player's user-interface thread could take longer than any
// wait the player can afford.
bool PulseConnection::Connect(pa_usec_t deadline) {
  if (context_ == nullptr) return false;
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
  return WaitUntil([this] { return pa_context_get_state(context_) == PA_CONTEXT_READY; }, deadline);
}

bool PulseConnection::HasDefaultSink(pa_usec_t deadline) {
  DefaultSinkAnswer answer{this};
  pa_operation* query = pa_context_get_server_info(context_, &ServerInfoArrived, &answer);
  if (query == nullptr) return false;
  WaitUntil([&answer] { return answer.answered; }, deadline);
  // The answer lives on this stack: it must not be written once we return.
  if (!answer.answered) pa_operation_cancel(query);
  pa_operation_unref(query);
  return answer.hasSink;
}

bool PulseConnection::WaitUntil(const std::function<bool()>& done, pa_usec_t deadline) {
  if (context_ == nullptr) return false;
  Alarm alarm{this};
  pa_time_event* timer = pa_context_rttime_new(context_, deadline, &Ring, &alarm);
  if (timer == nullptr) return done();  // an unbounded wait is no wait
  while (!done() && !failed() && !alarm.rang) pa_threaded_mainloop_wait(loop_);
  api()->time_free(timer);
  return done();
}

void PulseConnection::Wake() {
  pa_threaded_mainloop_signal(loop_, 0);
}

bool PulseConnection::failed() const {
  if (context_ == nullptr) return true;
  const pa_context_state_t state = pa_context_get_state(context_);
  return state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
}

void PulseConnection::StateChanged(pa_context* context, void* self) {
  auto* connection = static_cast<PulseConnection*>(self);
  const pa_context_state_t state = pa_context_get_state(context);
  if (state == PA_CONTEXT_READY) connection->wasReady_ = true;
  if (connection->wasReady_ && connection->failed() && connection->onFailure_)
    connection->onFailure_();
  connection->Wake();
}

}  // namespace app
