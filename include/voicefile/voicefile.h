/* libvoicefile: decoding and encoding voice files from C and C++.
 *
 * A voice file holds 8000 Hz mono speech in frames of 10 ms (80 samples),
 * coded in one of four modes. Decoding gives native-endian 16-bit samples,
 * exactly those `vocdec --raw` writes (which writes them little-endian);
 * encoding gives the file `vocenc` writes for the same samples.
 *
 * Threads: every handle is independent of every other one. Different handles
 * may be used on different threads at the same time; one handle must be used
 * by one thread at a time. vf_status_text and vf_version may be called from
 * any thread at any time.
 *
 * Statuses: 0 is success. Positive values are the decoder's status bits
 * (VF_STATUS_*); once a decoder has met one it keeps returning it, except
 * that seeking clears the end of the stream. Negative values (VF_ERR_*) are
 * refusals of a call that did nothing, or failures of the library itself.
 */
#ifndef VOICEFILE_VOICEFILE_H
#define VOICEFILE_VOICEFILE_H

#include <stddef.h>
#include <stdint.h>
#include <voicefile/voicefile_version.h>

#if defined(VOICEFILE_BUILDING)
#define VF_API __attribute__((visibility("default")))
#else
#define VF_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The library's version, "MAJOR.MINOR.PATCH": compare with VOICEFILE_VERSION
 * to tell the header a program was built with from the library it runs with. */
VF_API const char* vf_version(void);

enum {
  VF_OK = 0,
  /* The decoder's latched status bits. */
  VF_STATUS_END_OF_STREAM = 1,
  VF_STATUS_DECODING_FAIL = 2,
  VF_STATUS_FRAME_ERASED = 4,
  VF_STATUS_BAD_FRAME_TYPE = 8,
  VF_STATUS_BAD_JUMP_LENGTH = 16,
  VF_STATUS_OPEN_FAILED = 32,
  VF_STATUS_BAD_FILE_FORMAT = 64,
  VF_STATUS_BAD_PITCH_INDEX = 128,
  VF_STATUS_TRUNCATION = 256,
  VF_STATUS_DIVISION_ERROR = 512,
  VF_STATUS_DIVISION_BY_ZERO = 1024,
  VF_STATUS_BACKWARD_SEEK_FAILED = 2048,
  VF_STATUS_FORWARD_SEEK_FAILED = 4096,
  VF_STATUS_CANNOT_END_FILE = 8192,
  VF_STATUS_NO_FRAMES = 0x4000,
  VF_STATUS_ALREADY_TERMINATED = 0xFFFFFF,
  /* Refusals and failures of the library. */
  VF_ERR_NULL_ARGUMENT = -1,    /* a pointer the call needs is NULL */
  VF_ERR_OUT_OF_MEMORY = -2,    /* a handle could not be allocated */
  VF_ERR_INVALID_ARGUMENT = -3, /* a mode, count or frame out of range */
  VF_ERR_NOT_POSITIONED = -4,   /* the stream cannot reach its first frame */
  VF_ERR_WRITE_FAILED = -5,     /* the encoded file could not be written */
  VF_ERR_NO_SAMPLES = -6,       /* finishing an encoder that was given no sample */
  VF_ERR_FINISHED = -7          /* the encoder has already been finished */
};

/* A constant English text for any status. */
VF_API const char* vf_status_text(int status);

/* ---- Decoding ---- */

typedef struct vf_decoder vf_decoder;

enum { VF_MODE_CELP56 = 0, VF_MODE_CELP64 = 1, VF_MODE_CELP80 = 2, VF_MODE_ADPCM40 = 3 };
enum { VF_SAMPLES_PER_FRAME = 80, VF_SAMPLE_RATE = 8000 };

/* "Celp56", "Celp64", "Celp80" or "Adpcm40"; NULL for any other value. */
VF_API const char* vf_mode_name(int mode);

typedef struct vf_info {
  int mode;            /* VF_MODE_* */
  int frame_bytes;     /* bytes per coded frame: 7, 8, 10 or 40 */
  int64_t frames;      /* the frame count the file's header gives */
  int64_t duration_ms; /* frames * 10 */
  int sample_rate;     /* always 8000 */
} vf_info;

/* Input callbacks, for streams that are not files or memory (pipes, media
 * frameworks). `read` returns the bytes read, 0 at the end or -1 on error.
 * `seek` (whence SEEK_SET, SEEK_CUR or SEEK_END) returns the new offset or -1.
 * `tell`, called once at open, gives the offset the stream stands at (0 when
 * it is NULL). `length` gives the stream's length, or -1 when unknown; it may
 * be NULL, and only seeks from the end use it.
 *
 * `seek` and `tell` may both be NULL for a stream that only reads forwards
 * (a pipe): the decoder then skips ahead by reading, and its own short steps
 * back while reading are served from the last 256 bytes read. Such a stream
 * decodes from start to end and seeks forwards; a seek further back than
 * those bytes fails with VF_STATUS_BACKWARD_SEEK_FAILED.
 */
typedef struct vf_io {
  int64_t (*read)(void* buffer, size_t size, void* user);
  int64_t (*seek)(int64_t offset, int whence, void* user);
  int64_t (*tell)(void* user);
  int64_t (*length)(void* user);
} vf_io;

/* Each opener returns a decoder positioned at the first frame, or NULL with
 * the reason in *status (status may be NULL). A decoder starts as a fresh
 * program does: no memory of any other decoder. */
VF_API vf_decoder* vf_decoder_open(const char* path, int* status);
/* `data` must stay valid and unchanged until the decoder is closed. */
VF_API vf_decoder* vf_decoder_open_memory(const void* data, size_t size, int* status);
/* `io` is copied; `user` is passed to every callback until the decoder is
 * closed. */
VF_API vf_decoder* vf_decoder_open_callbacks(const vf_io* io, void* user, int* status);

/* What the header says; fills *info and returns 0. */
VF_API int vf_decoder_info(const vf_decoder* decoder, vf_info* info);

/* Decodes up to max_frames frames of 80 samples into pcm (room for
 * 80 * max_frames samples) and sets *frames_read to the frames written.
 * Returns 0 while more may follow, VF_STATUS_END_OF_STREAM at the end, or the
 * status that stopped decoding (a frame whose decoding raised it is among
 * those written). */
VF_API int vf_decoder_read(vf_decoder* decoder, int16_t* pcm, int max_frames, int* frames_read);

/* Positions the decoder so that the next frame read is `frame` (0 is the
 * first). Frames passed over are read but not decoded: the decoder's
 * memories carry on from the last frame decoded, as in the player, so the
 * first frames after a seek may differ from a decoding from the start.
 * Seeking to 0 goes back to the first frame directly, and seeking from the
 * end of the stream passes over the frames from the first one on; both
 * clear the end of the stream. Returns 0, VF_STATUS_END_OF_STREAM when `frame` lies beyond the
 * end, or the decoder's status. */
VF_API int vf_decoder_seek(vf_decoder* decoder, int64_t frame);

/* The frame the next read decodes (after a seek, the frame sought). */
VF_API int64_t vf_decoder_tell(const vf_decoder* decoder);

/* Like vf_status_text, with the details this decoder knows (the frame of a
 * division error, say); valid until the next call on the decoder. */
VF_API const char* vf_decoder_status_text(vf_decoder* decoder, int status);

/* Closes the input (a callback stream is left to the caller) and frees the
 * decoder. NULL is ignored. */
VF_API void vf_decoder_close(vf_decoder* decoder);

/* ---- Encoding ---- */

typedef struct vf_encoder vf_encoder;

/* An encoder for `mode` (VF_MODE_*), or NULL with the reason in *status. The
 * file grows in a temporary file until it is finished. */
VF_API vf_encoder* vf_encoder_create(int mode, int* status);

/* Encodes 8000 Hz mono samples; any count, frames are cut every 80 samples. */
VF_API int vf_encoder_write(vf_encoder* encoder, const int16_t* pcm, size_t samples);

/* Encodes what remains (the last frame padded with silence, and silence
 * until the last sample has come through the codec's look-ahead), completes
 * the file and hands it over: written to `path`, or passed in pieces to
 * `write` (which returns 0 on success). Once only. */
VF_API int vf_encoder_finish(vf_encoder* encoder, const char* path);
VF_API int vf_encoder_finish_callback(vf_encoder* encoder,
                                      int (*write)(const void* data, size_t size, void* user),
                                      void* user);

/* Frees the encoder, finished or not. NULL is ignored. */
VF_API void vf_encoder_close(vf_encoder* encoder);

#ifdef __cplusplus
}
#endif

#endif /* VOICEFILE_VOICEFILE_H */
