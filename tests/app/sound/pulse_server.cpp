#include "pulse_server.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace sound_testing {

namespace {

std::string MakePrivateDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string path =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/voiceplayer-sound-XXXXXX";
  if (mkdtemp(path.data()) == nullptr) throw std::runtime_error("cannot create " + path);
  return path;
}

bool Accepts(const std::string& socketPath) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

// Stops the shared daemon once every test has run, while the process and
// its Qt objects are still whole.
std::unique_ptr<PulseServer>& SharedInstance() {
  static std::unique_ptr<PulseServer> instance;
  return instance;
}

class SharedServerTeardown : public ::testing::Environment {
 public:
  void TearDown() override { SharedInstance().reset(); }
};

[[maybe_unused]] const auto* const kTeardown =
    ::testing::AddGlobalTestEnvironment(new SharedServerTeardown);

}  // namespace

PulseServer& PulseServer::Shared() {
  std::unique_ptr<PulseServer>& instance = SharedInstance();
  if (!instance) {
    instance = std::make_unique<PulseServer>();
    UsePulseServer(*instance);
  }
  return *instance;
}

PulseServer::PulseServer() : directory_(MakePrivateDirectory()), socket_(directory_ + "/native") {
  WriteScript();
  Launch();
  try {
    WaitUntilListening();
  } catch (...) {
    Terminate();
    throw;
  }
}

PulseServer::~PulseServer() {
  Terminate();
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

// The sink runs at a usual hardware rate, so the player's 8 kHz is
// resampled as on a desktop. Without rewinds: a rewind replaces audio that
// the monitor has already delivered, and the recording would no longer be
// what was played.
void PulseServer::WriteScript() const {
  std::ofstream script(directory_ + "/server.pa");
  script << "load-module module-null-sink sink_name=" << sink_ << " rate=48000 norewinds=1\n"
         << "load-module module-native-protocol-unix socket=" << socket_ << " auth-anonymous=1\n"
         << "set-default-sink " << sink_ << "\n";
  if (!script) throw std::runtime_error("cannot write the sound server's script");
}

void PulseServer::Launch() {
  const std::string script = directory_ + "/server.pa";
  const std::string log = directory_ + "/server.log";
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("cannot start pulseaudio: fork failed");
  if (pid_ > 0) return;
  // The daemon must not outlive a test that crashes, even one that froze it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  setenv("HOME", directory_.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", directory_.c_str(), 1);
  setenv("XDG_CONFIG_HOME", directory_.c_str(), 1);
  unsetenv("PULSE_SERVER");
  if (freopen(log.c_str(), "w", stdout) == nullptr || dup2(fileno(stdout), 2) < 0) _exit(126);
  // -n: none of the machine's configured modules, only the script's.
  execlp("pulseaudio", "pulseaudio", "-n", "-F", script.c_str(), "--daemonize=no", "--system=no",
         "--use-pid-file=no", "--exit-idle-time=-1", "--realtime=no", "--high-priority=no",
         "--log-target=stderr", "--log-level=notice", nullptr);
  std::fprintf(stderr, "cannot run pulseaudio: %s\n", std::strerror(errno));
  _exit(127);
}

void PulseServer::WaitUntilListening() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    if (Accepts(socket_)) return;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("pulseaudio ended at start-up (exit status " +
                               std::to_string(WEXITSTATUS(status)) + "):\n" + Log());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  throw std::runtime_error("pulseaudio did not open its socket within 15 s:\n" + Log());
}

std::string PulseServer::Log() const {
  std::ifstream in(directory_ + "/server.log");
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void PulseServer::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  frozen_ = false;
}

void PulseServer::Freeze() {
  if (pid_ > 0 && kill(pid_, SIGSTOP) == 0) frozen_ = true;
}

void PulseServer::Start() {
  if (frozen_) {
    kill(pid_, SIGCONT);
    frozen_ = false;
    return;
  }
  if (pid_ > 0) return;
  Launch();
  WaitUntilListening();
}

void PulseServer::Terminate() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  kill(pid_, SIGCONT);  // a frozen daemon ends only once it runs again
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

void UsePulseServer(const PulseServer& server) {
  setenv("PULSE_SERVER", server.address().c_str(), 1);
  setenv("PULSE_RUNTIME_PATH", server.directory().c_str(), 1);
  setenv("PULSE_COOKIE", (server.directory() + "/cookie").c_str(), 1);
}

}  // namespace sound_testing
