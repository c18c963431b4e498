#include "tools/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace tools {
namespace {

// umask can only be read by setting it; threads writing outputs at once
// would see each other's 0, so it is read once.
mode_t current_umask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

// --- Removing the temporary when a signal ends the process ---------------

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

// The named temporaries a signal removes, one slot per output being written
// (threads write several at once). A slot's name is written while the slot
// is claimed and counts for the handler only once published, so the
// handler, on whichever thread, never sees half a name.
constexpr int kTemporarySlots = 128;
enum SlotState : int { kFree, kClaimed, kPublished };
std::atomic<int> g_slot_state[kTemporarySlots] = {};
char g_temporaries[kTemporarySlots][PATH_MAX] = {};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

// A temporary is created and published while a thread's signals are held
// back, but the signal can reach another thread in between: the handler
// stops new creations and waits for those under way, so that none is left.
std::atomic<int> g_creating{0};
std::atomic<bool> g_dying{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read in a signal handler");

// Threads writing alike reach a file size limit alike: the first signal
// handled does the removing, and one arriving meanwhile on another thread
// waits for it rather than end the process before the removing is done.
extern "C" void remove_temporary_and_die(int signal_number) {
  if (g_dying.exchange(true)) {
    for (;;) ::pause();
  }
  while (g_creating.load() > 0) {
  }
  for (int i = 0; i < kTemporarySlots; ++i)
    if (g_slot_state[i].load() == kPublished) ::unlink(g_temporaries[i]);
  // With the default action back, the signal ends the process as it would
  // have without the handler, on return (it is held back until then).
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  ::sigaction(signal_number, &default_action, nullptr);
  ::raise(signal_number);
}

sigset_t cleanup_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int s : kCleanupSignals) sigaddset(&set, s);
  return set;
}

void install_cleanup_handlers() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    struct sigaction action {};
    action.sa_handler = remove_temporary_and_die;
    action.sa_mask = cleanup_signals();
    for (const int s : kCleanupSignals) {
      // A signal the process was started with ignored (nohup, a shell's
      // background job, a test's `trap '' XFSZ`) stays ignored.
      struct sigaction old {};
      if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
        ::sigaction(s, &action, nullptr);
    }
  });
}

class CleanupSignalsBlocked {
 public:
  CleanupSignalsBlocked() {
    const sigset_t set = cleanup_signals();
    ::pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~CleanupSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  CleanupSignalsBlocked(const CleanupSignalsBlocked&) = delete;
  CleanupSignalsBlocked& operator=(const CleanupSignalsBlocked&) = delete;

 private:
  sigset_t old_;
};

// The slot now naming `name`, or -1 when there is none to be had or the
// name is too long to keep: then a signal cannot remove it.
int register_temporary(const std::string& name) {
  if (name.size() >= PATH_MAX) return -1;
  for (int i = 0; i < kTemporarySlots; ++i) {
    int expected = kFree;
    if (!g_slot_state[i].compare_exchange_strong(expected, kClaimed)) continue;
    std::memcpy(g_temporaries[i], name.c_str(), name.size() + 1);
    g_slot_state[i].store(kPublished);
    return i;
  }
  return -1;
}

// --- Where the output goes --------------------------------------------------

// The path a write to `path` lands on: `path` itself or, through symbolic
// links (a dangling one too), the path the last of them names.
std::filesystem::path link_target(std::filesystem::path path, std::error_code& ec) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat sb {};
    if (::lstat(path.c_str(), &sb) != 0 || !S_ISLNK(sb.st_mode)) return path;
    const std::filesystem::path to = std::filesystem::read_symlink(path, ec);
    if (ec) return {};
    path = to.is_absolute() ? to : path.parent_path() / to;
  }
  ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
  return {};
}

// access() grants root everything, so the owner's write bit counts too.
bool writable(const std::filesystem::path& path, const struct stat& sb) {
  return (sb.st_mode & S_IWUSR) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// Copies all of `from` (read from its start) to `to` at its current offset.
bool copy_all(int from, int to, std::string& error) {
  std::vector<char> buffer(1 << 16);
  off_t offset = 0;
  for (;;) {
    const ssize_t got = ::pread(from, buffer.data(), buffer.size(), offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = std::strerror(errno);
      return false;
    }
    if (got == 0) return true;
    offset += got;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) {
        error = std::strerror(errno);
        return false;
      }
      done += put;
    }
  }
}

}  // namespace

bool is_same_file(const std::string& input, const std::string& output) {
  if (output == "-") return false;
  struct stat out {
  }, in{};
  // Only a regular file is replaced; reading and writing one device is no loss.
  if (::stat(output.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) return false;
  const int r = input == "-" ? ::fstat(STDIN_FILENO, &in) : ::stat(input.c_str(), &in);
  return r == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

OutputFile::OutputFile(const std::string& path, std::string_view program, OutputOptions options)
    : force_(options.force) {
  if (path == "-") {
    if (options.seekable) {
      kind_ = Kind::CopyOut;
      target_fd_ = STDOUT_FILENO;
      create_anonymous_temporary();
    } else {
      fd_ = ::dup(STDOUT_FILENO);
      if (fd_ < 0) error = std::strerror(errno);
    }
    return;
  }
  std::error_code ec;
  final_ = link_target(path, ec);
  if (ec) {
    error = ec.message();
    return;
  }
  struct stat sb {};
  const bool exists = ::stat(final_.c_str(), &sb) == 0;
  if (exists && !S_ISREG(sb.st_mode)) {
    const int fd = ::open(final_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
      error = std::strerror(errno);
      return;
    }
    // A device such as /dev/null seeks and is written directly; a pipe does not.
    if (options.seekable && ::lseek(fd, 0, SEEK_CUR) < 0) {
      kind_ = Kind::CopyOut;
      target_fd_ = fd;
      owns_target_ = true;
      create_anonymous_temporary();
    } else {
      fd_ = fd;
    }
    return;
  }
  if (exists && !force_ && !writable(final_, sb)) {
    error = "is read-only; --force replaces it";
    return;
  }
  kind_ = exists && sb.st_nlink > 1 ? Kind::InPlace : Kind::Rename;
  create_temporary(exists ? sb.st_mode & 07777 & ~(S_ISUID | S_ISGID) : 0666 & ~current_umask(),
                   program);
}

OutputFile::~OutputFile() {
  if (!temporary_.empty()) {
    const CleanupSignalsBlocked blocked;
    ::unlink(temporary_.c_str());
    forget_temporary();
  }
  if (fd_ >= 0) ::close(fd_);
  if (staged_fd_ >= 0) ::close(staged_fd_);
  if (owns_target_ && target_fd_ >= 0) ::close(target_fd_);
}

int OutputFile::take_fd() {
  return std::exchange(fd_, -1);
}

std::FILE* OutputFile::take_stream() {
  const int fd = take_fd();
  if (fd < 0) return nullptr;
  std::FILE* out = ::fdopen(fd, "wb");
  if (!out) {
    error = std::strerror(errno);
    ::close(fd);
  }
  return out;
}

bool OutputFile::commit() {
  switch (std::exchange(kind_, Kind::Direct)) {
    case Kind::Direct:
      return true;
    case Kind::Rename:
      return rename_into_place();
    case Kind::InPlace:
      return rewrite_in_place();
    case Kind::CopyOut:
      return copy_out();
  }
  return false;
}

// With the signals held back, a signal cannot remove the file once it
// carries the final name.
bool OutputFile::rename_into_place() {
  const CleanupSignalsBlocked blocked;
  if (std::rename(temporary_.c_str(), final_.c_str()) != 0) {
    error = std::strerror(errno);
    return false;
  }
  forget_temporary();
  return true;
}

// The finished bytes go into the existing file, which every hard link names.
bool OutputFile::rewrite_in_place() {
  const int out = ::open(final_.c_str(), O_WRONLY | O_CLOEXEC);
  // Forced over a read-only file, or the file has gone: replace it instead.
  if (out < 0 && (force_ || errno == ENOENT)) return rename_into_place();
  if (out < 0) {
    error = std::strerror(errno);
    return false;
  }
  const int in = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat staged {};
  if (in < 0 || ::fstat(in, &staged) != 0) {
    error = std::strerror(errno);
    if (in >= 0) ::close(in);
    ::close(out);
    return false;
  }
  // Where the file system can, a full disk shows here, before the old
  // content is touched.
  if (staged.st_size > 0 && ::fallocate(out, FALLOC_FL_KEEP_SIZE, 0, staged.st_size) != 0 &&
      errno == ENOSPC) {
    error = std::strerror(errno);
    ::close(in);
    ::close(out);
    return false;
  }
  bool ok;
  {
    // A signal now would leave the old file half rewritten; it comes after.
    const CleanupSignalsBlocked blocked;
    ok = copy_all(in, out, error);
    if (ok && ::ftruncate(out, staged.st_size) != 0) {
      ok = false;
      error = std::strerror(errno);
    }
    struct stat sb {};
    if (ok && ::fstat(out, &sb) == 0 && (sb.st_mode & (S_ISUID | S_ISGID)) != 0)
      (void)::fchmod(out, sb.st_mode & 07777 & ~(S_ISUID | S_ISGID));
    if (::close(out) != 0 && ok) {
      ok = false;
      error = std::strerror(errno);
    }
    ::unlink(temporary_.c_str());
    forget_temporary();
  }
  ::close(in);
  return ok;
}

bool OutputFile::copy_out() {
  bool ok = copy_all(staged_fd_, target_fd_, error);
  ::close(std::exchange(staged_fd_, -1));
  if (owns_target_ && ::close(std::exchange(target_fd_, -1)) != 0 && ok) {
    ok = false;
    error = std::strerror(errno);
  }
  return ok;
}

// mkstemp creates the file private; `mode` is what the output should get:
// that of the file it replaces, or what a plainly created file would get.
void OutputFile::create_temporary(mode_t mode, std::string_view program) {
  std::filesystem::path dir = final_.parent_path();
  if (dir.empty()) dir = ".";
  const std::string leaf =
      "." + final_.filename().string() + "." + std::string(program) + "-XXXXXX";
  std::string name = (dir / leaf).string();
  install_cleanup_handlers();
  const CleanupSignalsBlocked blocked;
  g_creating.fetch_add(1);
  // A signal being handled on another thread ends the process: create nothing.
  fd_ = g_dying.load() ? -1 : ::mkstemp(name.data());
  const int mkstemp_error = errno;
  if (fd_ >= 0) {
    temporary_ = name;
    slot_ = register_temporary(temporary_);
  }
  g_creating.fetch_sub(1);
  if (fd_ < 0) {
    error = std::strerror(g_dying.load() ? EINTR : mkstemp_error);
    return;
  }
  (void)::fchmod(fd_, mode);
}

// For a pipe: a file without a name in $TMPDIR, gone with the process.
void OutputFile::create_anonymous_temporary() {
  const char* dir = std::getenv("TMPDIR");
  std::string name = std::string(dir && *dir ? dir : "/tmp") + "/output-XXXXXX";
  {
    const CleanupSignalsBlocked blocked;
    fd_ = ::mkstemp(name.data());
    if (fd_ >= 0) ::unlink(name.c_str());
  }
  if (fd_ < 0) {
    error = std::strerror(errno);
    return;
  }
  staged_fd_ = ::dup(fd_);
  if (staged_fd_ < 0) {
    error = std::strerror(errno);
    ::close(std::exchange(fd_, -1));
  }
}

void OutputFile::forget_temporary() {
  temporary_.clear();
  if (slot_ >= 0) g_slot_state[std::exchange(slot_, -1)].store(kFree);
}

}  // namespace tools
