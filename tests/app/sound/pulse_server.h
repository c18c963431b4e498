// A PulseAudio daemon of the test's own: a child process with a private
// runtime directory, one null sink that is the default output, and a socket
// that this process (and the children it starts) talk to through
// PULSE_SERVER. Nothing of the machine's own sound setup is used or touched.
#pragma once

#include <sys/types.h>

#include <string>

namespace sound_testing {

class PulseServer {
 public:
  // The one daemon of this test process, started on first use and stopped
  // when the tests end; every test shares it. Throws std::runtime_error,
  // with the daemon's own log, when it cannot be started.
  static PulseServer& Shared();

  PulseServer();
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  // A crash: the daemon ends at once and leaves its socket behind, so that
  // clients are refused until Start.
  void Kill();
  // A hang: the daemon stops answering, its socket still open.
  void Freeze();
  // Brings the daemon back after Kill or Freeze: a new one at the same
  // address, or the frozen one going on. Throws like the constructor.
  void Start();

  const std::string& sink() const { return sink_; }
  std::string monitor() const { return sink_ + ".monitor"; }
  // For PULSE_SERVER: "unix:<socket>".
  std::string address() const { return "unix:" + socket_; }
  const std::string& directory() const { return directory_; }

 private:
  void WriteScript() const;
  void Launch();
  void WaitUntilListening();
  std::string Log() const;
  void Terminate();

  std::string directory_;
  std::string sink_ = "voiceplayer_test";
  std::string socket_;
  pid_t pid_ = -1;
  bool frozen_ = false;
};

// The environment a client of `server` needs: its address, and a home and
// runtime directory inside the server's, so that no client writes into the
// real ones. Applied to this process by PulseServer::Shared().
void UsePulseServer(const PulseServer& server);

}  // namespace sound_testing
