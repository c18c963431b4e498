// The buffers written to the audio device and not given back yet, in write
// order. The sink sees them as one continuous stream of bytes; each buffer
// knows where it ends in that stream, so that it can be given back once the
// sink has played past its end, and not merely once the sink has taken it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace app {

class WaveQueue {
 public:
  // Queues `length` bytes at `data`; the memory stays the writer's and must
  // not change until the buffer is given back.
  void Push(const uint8_t* data, uint32_t length);
  // Copies to `out` up to `max` bytes that the sink has not taken yet;
  // returns how many.
  size_t Take(uint8_t* out, size_t max);
  // Drops the buffers that end within the first `playedBytes` bytes of the
  // stream; returns how many. A buffer of no bytes counts as played once
  // everything before it has played.
  int ReleasePlayed(uint64_t playedBytes);
  // Drops every buffer and starts a new stream at offset 0; returns how many
  // buffers were dropped.
  int Clear();

  // Whether a buffer starting at `data` is queued.
  bool Holds(const uint8_t* data) const;

  bool empty() const { return entries_.empty(); }
  size_t size() const { return entries_.size(); }
  // Bytes the sink has taken since the stream began.
  uint64_t taken() const { return taken_; }
  // Bytes written since the stream began.
  uint64_t written() const { return written_; }

 private:
  struct Entry {
    const uint8_t* data;
    uint32_t length;
    uint64_t end;  // stream offset just past the buffer
  };

  std::deque<Entry> entries_;
  uint64_t taken_ = 0;
  uint64_t written_ = 0;
};

}  // namespace app
