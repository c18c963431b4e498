// The library's openers, seeking and encoding, against the path opener (which
// the installed-library test holds to vocdec) and against vocenc.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "support/voice_file_builder.h"
#include "voice/vdec.h"
#include "voicefile/voicefile_test_util.h"

namespace {

using testing_support::Bytes;
using testing_support::decode_file;
using testing_support::Decoded;
using testing_support::read_to_end;

// Bytes in order; as a pipe without seek and tell, or with seek as a file.
struct Pipe {
  const Bytes* bytes;
  size_t at = 0;

  static int64_t read(void* buffer, size_t size, void* user) {
    auto* pipe = static_cast<Pipe*>(user);
    const size_t n = std::min(size, pipe->bytes->size() - pipe->at);
    std::memcpy(buffer, pipe->bytes->data() + pipe->at, n);
    pipe->at += n;
    return static_cast<int64_t>(n);
  }
  static int64_t seek(int64_t offset, int whence, void* user) {
    auto* pipe = static_cast<Pipe*>(user);
    const int64_t base = whence == SEEK_SET ? 0 : static_cast<int64_t>(pipe->at);
    if (whence == SEEK_END || base + offset < 0) return -1;
    pipe->at = std::min(static_cast<size_t>(base + offset), pipe->bytes->size());
    return static_cast<int64_t>(pipe->at);
  }
};

// A pipe steps back a little when it reaches the first frame and at ADPCM
// realignments and jumps: the stream's own last bytes serve those steps.
TEST(VoicefileOpen, MemoryAndCallbacksDecodeAsThePath) {
  testing_support::VoiceFileBuilder realigning(voice::VoiceMode::Adpcm40);
  realigning.speech_frames(3).half_zero_frame(true).speech_frames(2).forward_jump(120);
  realigning.speech_frames(2).half_zero_frame(true).speech_frames(1).end_marker();
  const testing_support::TempFile composed(realigning.bytes());
  for (const char* path : {MESSAGE_VOICE_PATH, SAMPLE_VOICE_PATH, composed.c_str()}) {
    const Decoded from_path = decode_file(path);
    ASSERT_EQ(from_path.status, VF_STATUS_END_OF_STREAM) << path;
    const Bytes bytes = testing_support::read_file(path);
    Pipe pipe{&bytes};
    Pipe file{&bytes};
    const vf_io forward{Pipe::read, nullptr, nullptr, nullptr};
    const vf_io seekable{Pipe::read, Pipe::seek, nullptr, nullptr};
    vf_decoder* piped = vf_decoder_open_callbacks(&forward, &pipe, nullptr);
    vf_decoder* sought = vf_decoder_open_callbacks(&seekable, &file, nullptr);
    vf_decoder* in_memory = vf_decoder_open_memory(bytes.data(), bytes.size(), nullptr);
    ASSERT_TRUE(piped && sought && in_memory) << path;
    EXPECT_EQ(read_to_end(piped).samples, from_path.samples) << path;
    EXPECT_EQ(read_to_end(sought).samples, from_path.samples) << path;
    EXPECT_EQ(read_to_end(in_memory).samples, from_path.samples) << path;
  }
}

std::vector<int16_t> read_frames(vf_decoder* decoder, int frames) {
  std::vector<int16_t> pcm(static_cast<size_t>(frames) * VF_SAMPLES_PER_FRAME);
  int read = 0;
  EXPECT_EQ(vf_decoder_read(decoder, pcm.data(), frames, &read), VF_OK);
  EXPECT_EQ(read, frames);
  return pcm;
}

std::vector<int16_t> decode_frames(voice::DecoderState& st, int frames) {
  std::vector<int16_t> pcm;
  uint8_t bytes[2 * VF_SAMPLES_PER_FRAME];
  for (int i = 0; i < frames; ++i) {
    EXPECT_EQ(vdec_decode_frame(st, bytes, nullptr), 0);
    for (int k = 0; k < VF_SAMPLES_PER_FRAME; ++k)
      pcm.push_back(static_cast<int16_t>(bytes[2 * k] | bytes[2 * k + 1] << 8));
  }
  return pcm;
}

// Frames passed over are read and not decoded, as the player's position
// slider does it: the decoder's memories carry on across the jump.
TEST(VoicefileSeek, SkipsFramesAsThePlayerDoes) {
  auto st = std::make_unique<voice::DecoderState>();
  int mode = -1;
  ASSERT_EQ(vdec_open(*st, MESSAGE_VOICE_PATH, &mode), 0);
  ASSERT_EQ(vdec_restart_at(*st, MESSAGE_VOICE_PATH, 0), 0);
  std::vector<int16_t> expected = decode_frames(*st, 10);
  ASSERT_EQ(vdec_skip_forward(*st, 20), 0);
  const std::vector<int16_t> after_forward = decode_frames(*st, 5);
  ASSERT_EQ(vdec_skip_backward(*st, 25), 0);
  const std::vector<int16_t> after_backward = decode_frames(*st, 5);

  vf_decoder* decoder = vf_decoder_open(MESSAGE_VOICE_PATH, nullptr);
  ASSERT_NE(decoder, nullptr);
  EXPECT_EQ(read_frames(decoder, 10), expected);
  ASSERT_EQ(vf_decoder_seek(decoder, 30), VF_OK);
  EXPECT_EQ(read_frames(decoder, 5), after_forward);
  ASSERT_EQ(vf_decoder_seek(decoder, 10), VF_OK);
  EXPECT_EQ(vf_decoder_tell(decoder), 10);
  EXPECT_EQ(read_frames(decoder, 5), after_backward);
  vf_decoder_close(decoder);
}

TEST(VoicefileSeek, ReachesAFrameAgainAfterTheEnd) {
  vf_decoder* decoder = vf_decoder_open(SAMPLE_VOICE_PATH, nullptr);
  ASSERT_NE(decoder, nullptr);
  EXPECT_EQ(vf_decoder_seek(decoder, 100000), VF_STATUS_END_OF_STREAM);
  EXPECT_EQ(vf_decoder_seek(decoder, 20), VF_OK);
  EXPECT_EQ(vf_decoder_tell(decoder), 20);
  read_frames(decoder, 3);
  vf_decoder_close(decoder);
}

void write_raw(const std::vector<int16_t>& samples, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  for (int16_t s : samples) {
    const auto u = static_cast<uint16_t>(s);
    std::fputc(u & 0xFF, f);
    std::fputc(u >> 8, f);
  }
  ASSERT_EQ(std::fclose(f), 0);
}

TEST(VoicefileEncoder, WritesTheFileVocencWrites) {
  // Not a whole number of frames, so that the last one is padded.
  const std::vector<int16_t> samples = testing_support::speech_samples(1.234);
  testing_support::TempFile raw;
  testing_support::TempFile by_vocenc;
  testing_support::TempFile by_library;
  write_raw(samples, raw.path());
  const std::string command = std::string(VOCENC_PATH) + " --raw --force --mode celp64 " +
                              raw.path() + " " + by_vocenc.path();
  ASSERT_EQ(std::system(command.c_str()), 0);

  ASSERT_EQ(testing_support::encode_file(VF_MODE_CELP64, samples, by_library.c_str()), VF_OK);
  EXPECT_EQ(testing_support::read_file(by_library.path()),
            testing_support::read_file(by_vocenc.path()));
  EXPECT_EQ(decode_file(by_library.c_str()).status, VF_STATUS_END_OF_STREAM);
}

}  // namespace
