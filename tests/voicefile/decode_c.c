/* decode_c FILE: decodes a voice file through the installed libvoicefile to
 * little-endian 16-bit samples on standard output, as vocdec --raw does.
 * Compiled as C against the installed header: it checks that the header is
 * C and that the installed library links and runs. */
#include <stdint.h>
#include <stdio.h>
#include <voicefile/voicefile.h>

enum { kFrames = 16 };

static int write_little_endian(const int16_t* pcm, int samples) {
  unsigned char bytes[2 * kFrames * VF_SAMPLES_PER_FRAME];
  for (int i = 0; i < samples; ++i) {
    const uint16_t u = (uint16_t)pcm[i];
    bytes[2 * i] = (unsigned char)(u & 0xFF);
    bytes[2 * i + 1] = (unsigned char)(u >> 8);
  }
  return fwrite(bytes, 2, (size_t)samples, stdout) == (size_t)samples;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: decode_c FILE\n");
    return 2;
  }
  int status = 0;
  vf_decoder* decoder = vf_decoder_open(argv[1], &status);
  if (!decoder) {
    fprintf(stderr, "decode_c: %s: %s\n", argv[1], vf_status_text(status));
    return 1;
  }
  int16_t pcm[kFrames * VF_SAMPLES_PER_FRAME];
  int frames = 0;
  do {
    status = vf_decoder_read(decoder, pcm, kFrames, &frames);
    if (!write_little_endian(pcm, frames * VF_SAMPLES_PER_FRAME)) status = VF_ERR_WRITE_FAILED;
  } while (status == VF_OK);
  if (status != VF_STATUS_END_OF_STREAM)
    fprintf(stderr, "decode_c: %s: %s\n", argv[1], vf_decoder_status_text(decoder, status));
  vf_decoder_close(decoder);
  return status == VF_STATUS_END_OF_STREAM ? 0 : 1;
}
