// An audio file written one way into a descriptor that cannot seek, such as
// a pipe, so that a player reading it can start at once.
//
// libsndfile refuses to write WAV, RF64 or W64 into a pipe (their sizes sit
// in a header it rewrites at the end) and writes AIFF there as a header
// alone. Here it writes through virtual I/O that looks seekable to it: what
// it writes while opening is held back, and its header is replaced by the
// one a trial run through the whole promised length ends with (silence
// written to a counter, cheap for PCM), so that a healthy file streams the
// very bytes it would have in a file. Its rewrite at the end is compared
// with what went out and dropped; a difference sets `stale_header` (the
// voice file held another number of frames than its header counts).
// FLAC, Ogg and MPEG streams are complete without the rewrite at the end,
// which is dropped unseen: FLAC's length and checksum stay "unknown", and
// MP3 keeps the silent frame held for the encoder's tag (so a reader keeps
// the encoder's delay and padding).
#pragma once

#include <cstdint>
#include <memory>

#include "tools/pcm_sinks.h"

namespace tools {

// `header_frames`: the frames the voice file's header counts, or -1 when it
// cannot be believed (more than the input could hold): then the header sent
// is the one libsndfile writes while opening.
std::unique_ptr<SndfileSink> make_stream_sink(int fd, int format, int64_t header_frames);

}  // namespace tools
