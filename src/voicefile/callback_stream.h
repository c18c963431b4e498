// A FILE* over the library's input callbacks, for the decoder, which reads
// through stdio. A stream without a seek callback is read strictly forwards:
// seeks ahead read and drop the bytes between, and the decoder's short steps
// back while reading are served from the last bytes read.
#pragma once

#include <cstdint>
#include <cstdio>

#include "voicefile/voicefile.h"

namespace voicefile {

class CallbackStream {
 public:
  CallbackStream(const vf_io& io, void* user);
  CallbackStream(const CallbackStream&) = delete;
  CallbackStream& operator=(const CallbackStream&) = delete;

  // The stream as a FILE*, or null. Closing it leaves the callbacks alone;
  // this object must outlive it.
  std::FILE* open();

 private:
  static ssize_t read_cookie(void* cookie, char* buffer, size_t size);
  static int seek_cookie(void* cookie, off64_t* offset, int whence);

  bool forward_only() const { return io_.seek == nullptr; }
  ssize_t read(char* buffer, size_t size);
  int64_t seek(int64_t offset, int whence);
  // Where the seek callback says the stream stands now, or its failure.
  int64_t settle(int64_t reached);
  ssize_t read_ahead(char* buffer, size_t size);
  int64_t seek_ahead(int64_t target);

  // More than the decoder ever steps back: half an ADPCM frame, then a
  // whole one.
  static constexpr int64_t kHistory = 256;

  vf_io io_;
  void* user_;
  int64_t position_ = 0;                  // of the next byte stdio gets
  int64_t end_ = 0;                       // forward only: of the next byte the callback gives
  bool ended_ = false;                    // forward only: the callback has no more bytes
  unsigned char history_[kHistory] = {};  // byte at offset o in history_[o % kHistory]
};

}  // namespace voicefile
