// The decoder's calling interface. The calls report a StatusCode
// (celp/status_code.h): 0 for success, else one failure bit. Failures are
// latched in the state's status: while it is non-zero, reading, skipping,
// decoding and opening return it without doing anything. Two are returned
// without being latched: kOpenFailed from a read or rewind with no file open
// (a failed open itself is latched), and kBackwardSeekFailed from a rewind
// whose seek fails.
//
// Each operation exists twice: on a DecoderState of the caller's, and on the
// one process-wide state the player uses. Calls on one state must never
// overlap; calls on different states may run on different threads at once.
#pragma once

#include <cstdint>
#include <cstdio>

#include "voice/decoder_state.h"

// Opens the voice file at `path` unless a file is already open (then nothing
// is read and 0 is returned). `mode` receives the file's mode value.
StatusCode vdec_open(voice::DecoderState& st, const char* path, int* mode);
// The same on a stream already open for reading at its first byte (memory,
// a pipe, a reader of the caller's): `file` is the state's from now on,
// whatever the outcome. The state must hold no file and no failure.
StatusCode vdec_open_stream(voice::DecoderState& st, std::FILE* file, int* mode);
// The frame count of the (possibly already) open file, or -1 with the status
// in `result`.
int32_t vdec_query(voice::DecoderState& st, const char* path, int* mode, StatusCode* result);
// count 0: back to the first frame of the open file, clearing an end of
// stream. Otherwise: opens `path` if needed and skips `count` frames forwards
// from wherever the file stands.
StatusCode vdec_restart_at(voice::DecoderState& st, const char* path, int count);
StatusCode vdec_skip_forward(voice::DecoderState& st, int n);
StatusCode vdec_skip_backward(voice::DecoderState& st, int n);
// Decodes the next frame into 160 bytes of 16-bit little-endian PCM.
StatusCode vdec_decode_frame(voice::DecoderState& st, uint8_t* pcm, int32_t* position);
void vdec_close(voice::DecoderState& st);
void vdec_reset_status(voice::DecoderState& st);
// The status text; formatted texts stay valid until the next call.
const char* vdec_status_text(voice::DecoderState& st, StatusCode code);

voice::DecoderState& vdec_state();
StatusCode vdec_open(const char* path, int* mode);
int32_t vdec_query(const char* path, int* mode, StatusCode* result);
StatusCode vdec_restart_at(const char* path, int count);
StatusCode vdec_skip_forward(int n);
StatusCode vdec_skip_backward(int n);
StatusCode vdec_decode_frame(uint8_t* pcm, int32_t* position);
void vdec_close();
void vdec_reset_status();
const char* vdec_status_text(StatusCode code);
