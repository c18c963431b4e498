#include "callback_stream.h"

#include <algorithm>
#include <cerrno>

namespace voicefile {

CallbackStream::CallbackStream(const vf_io& io, void* user) : io_(io), user_(user) {
  if (io_.tell) position_ = end_ = std::max<int64_t>(0, io_.tell(user_));
}

std::FILE* CallbackStream::open() {
  const cookie_io_functions_t functions{read_cookie, nullptr, seek_cookie, nullptr};
  std::FILE* f = fopencookie(this, "rb", functions);
  // Unbuffered, stdio asks for exactly the bytes and offsets the decoder
  // does; buffered, it would read ahead and seek back over what it read.
  if (f && forward_only()) std::setvbuf(f, nullptr, _IONBF, 0);
  return f;
}

ssize_t CallbackStream::read_cookie(void* cookie, char* buffer, size_t size) {
  return static_cast<CallbackStream*>(cookie)->read(buffer, size);
}

int CallbackStream::seek_cookie(void* cookie, off64_t* offset, int whence) {
  const int64_t reached = static_cast<CallbackStream*>(cookie)->seek(*offset, whence);
  if (reached < 0) return -1;
  *offset = reached;
  return 0;
}

ssize_t CallbackStream::read(char* buffer, size_t size) {
  if (!forward_only()) {
    const int64_t got = io_.read(buffer, size, user_);
    if (got > 0) position_ += got;
    return static_cast<ssize_t>(got);
  }
  return read_ahead(buffer, size);
}

ssize_t CallbackStream::read_ahead(char* buffer, size_t size) {
  if (position_ > end_) return 0;  // sought past the end of the stream
  size_t done = 0;
  // First what was read before and stepped back over.
  while (done < size && position_ < end_)
    buffer[done++] = static_cast<char>(history_[position_++ % kHistory]);
  if (done == size || ended_) return static_cast<ssize_t>(done);
  const int64_t got = io_.read(buffer + done, size - done, user_);
  if (got < 0) return done > 0 ? static_cast<ssize_t>(done) : -1;
  if (got == 0) ended_ = true;
  for (int64_t i = 0; i < got; ++i)
    history_[(end_ + i) % kHistory] = static_cast<unsigned char>(buffer[done + i]);
  end_ += got;
  position_ = end_;
  return static_cast<ssize_t>(done + static_cast<size_t>(got));
}

int64_t CallbackStream::seek(int64_t offset, int whence) {
  int64_t target = offset;
  if (whence == SEEK_CUR) target += position_;
  if (whence == SEEK_END) {
    const int64_t length = io_.length ? io_.length(user_) : -1;
    if (length >= 0)
      target += length;
    else if (forward_only())
      return errno = ESPIPE, -1;
    else
      return settle(io_.seek(offset, SEEK_END, user_));
  }
  if (target < 0) return errno = EINVAL, -1;
  if (!forward_only()) return settle(io_.seek(target, SEEK_SET, user_));
  return seek_ahead(target);
}

int64_t CallbackStream::settle(int64_t reached) {
  if (reached >= 0) position_ = reached;
  return reached;
}

int64_t CallbackStream::seek_ahead(int64_t target) {
  if (target < end_ - kHistory) return errno = ESPIPE, -1;
  // Reading what lies between: past the end, later reads find nothing, as
  // with a file.
  char skipped[kHistory];
  while (end_ < target && !ended_) {
    position_ = end_;
    const size_t want = static_cast<size_t>(std::min<int64_t>(target - end_, kHistory));
    if (read_ahead(skipped, want) < 0) return errno = EIO, -1;
  }
  position_ = target;
  return target;
}

}  // namespace voicefile
