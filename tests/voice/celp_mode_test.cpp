#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "support/celp_frame_packer.h"
#include "voice/mode_steps.h"
#include "voice/voice_test_util.h"

namespace voice {
namespace {

using testing_support::Bytes;
using testing_support::kCelp80Widths;
using testing_support::OpenedVoice;
using testing_support::pack_celp_frame;
using testing_support::TempFile;
using testing_support::VoiceFileBuilder;

// Every PCM sample from the first frame to the end of the stream.
Bytes decode_all(DecoderState& st, const char* path) {
  int mode = -1;
  EXPECT_EQ(vdec_open(st, path, &mode), 0);
  EXPECT_EQ(vdec_restart_at(st, path, 0), 0);
  Bytes all;
  uint8_t pcm[160];
  int32_t pos = 0;
  StatusCode r;
  while ((r = vdec_decode_frame(st, pcm, &pos)) == 0) all.insert(all.end(), pcm, pcm + 160);
  EXPECT_EQ(r, 1);
  return all;
}

Bytes pcm_of_frame(const Bytes& all, int frame) {
  return Bytes(all.begin() + 160 * frame, all.begin() + 160 * (frame + 1));
}

// The codec memories only (not the file handle, position or counters).
struct Memories {
  explicit Memories(const DecoderState& st) : celp(st.celp), post(st.post), highpass(st.highpass) {}
  bool operator==(const Memories& o) const {
    return std::memcmp(&celp, &o.celp, sizeof celp) == 0 &&
           std::memcmp(&post, &o.post, sizeof post) == 0 &&
           std::memcmp(&highpass, &o.highpass, sizeof highpass) == 0;
  }
  celp::CelpDecoderState celp;
  postfilter::PostFilterState post;
  postfilter::HighPassState highpass;
};

class EveryCelpMode : public ::testing::TestWithParam<VoiceMode> {};

TEST_P(EveryCelpMode, DecodesTheSameSamplesEveryTime) {
  VoiceFileBuilder b(GetParam());
  b.speech_frames(60).end_marker();
  TempFile f(b.bytes());
  DecoderState first, second;
  const Bytes a = decode_all(first, f.c_str());
  const Bytes c = decode_all(second, f.c_str());
  ASSERT_EQ(a.size(), 60u * 160);
  EXPECT_EQ(a, c);
  EXPECT_NE(a, Bytes(a.size(), 0)) << "speech frames decode to sound";
  EXPECT_EQ(first.celp_frames_decoded, 60u);
}

TEST_P(EveryCelpMode, SkippingLeavesTheMemoriesUntouched) {
  VoiceFileBuilder b(GetParam());
  b.speech_frames(120).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  uint8_t pcm[160];
  int32_t pos = 0;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(vdec_decode_frame(v.st, pcm, &pos), 0);
  const Memories before(v.st);
  ASSERT_EQ(vdec_skip_forward(v.st, 100), 0);
  ASSERT_EQ(vdec_skip_backward(v.st, 40), 0);
  EXPECT_TRUE(Memories(v.st) == before);
  EXPECT_EQ(v.st.celp_frames_decoded, 3u);
  ASSERT_EQ(vdec_decode_frame(v.st, pcm, &pos), 0);
  EXPECT_EQ(v.st.celp_frames_decoded, 4u);
}

TEST_P(EveryCelpMode, SecondOpenContinuesFromTheMemoriesLeftBehind) {
  VoiceFileBuilder b(GetParam());
  b.speech_frames(20).end_marker();
  TempFile f(b.bytes());
  DecoderState fresh, reused;
  const Bytes once = decode_all(fresh, f.c_str());
  decode_all(reused, f.c_str());
  const Memories left(reused);
  vdec_close(reused);
  vdec_reset_status(reused);
  ASSERT_EQ(vdec_open(reused, f.c_str(), nullptr), 0);

  // The open resets the decoder, the post-filter and the output filter...
  EXPECT_EQ(reused.celp.old_T0, 60);
  EXPECT_EQ(reused.celp.sharp, 3277 * 256);
  EXPECT_EQ(reused.post.gain_prec, 16384 * 256);
  EXPECT_EQ(reused.celp.freq_prev[3][0], 2339 * 256);
  for (celp::ScaledShort s : reused.celp.synth_buf) ASSERT_EQ(s, 0);
  // ...but the LSPs, the past energies and the dispersion carry over.
  EXPECT_EQ(std::memcmp(reused.celp.lsp_old, left.celp.lsp_old, sizeof left.celp.lsp_old), 0);
  EXPECT_EQ(
      std::memcmp(reused.celp.past_qua_en, left.celp.past_qua_en, sizeof left.celp.past_qua_en), 0);
  EXPECT_EQ(reused.celp.phdisp.prev_state, left.celp.phdisp.prev_state);

  ASSERT_EQ(vdec_restart_at(reused, f.c_str(), 0), 0);
  uint8_t pcm[160];
  int32_t pos = 0;
  ASSERT_EQ(vdec_decode_frame(reused, pcm, &pos), 0);
  EXPECT_NE(Bytes(pcm, pcm + 160), pcm_of_frame(once, 0));
}

INSTANTIATE_TEST_SUITE_P(Celp, EveryCelpMode,
                         ::testing::Values(VoiceMode::Celp56, VoiceMode::Celp64, VoiceMode::Celp80),
                         [](const auto& info) { return std::string(mode_name(info.param)); });

int parity_bit(int pitch_index, bool matching) {
  const int ones = std::popcount(static_cast<unsigned>(pitch_index >> 2) & 0x3F);
  const int good = (1 + ones) & 1;
  return matching ? good : 1 - good;
}

Bytes celp80_frame(int pitch1, int parity, int pitch2) {
  return pack_celp_frame(kCelp80Widths,
                         {0x35, 0x2A7, pitch1, parity, 0x1234, 5, 0x51, pitch2, 0x0ABC, 9, 0x33});
}

Bytes decode_celp80(std::initializer_list<Bytes> frames) {
  VoiceFileBuilder b(VoiceMode::Celp80);
  for (const Bytes& f : frames) b.frame(f);
  b.end_marker();
  TempFile file(b.bytes());
  DecoderState st;
  return decode_all(st, file.c_str());
}

TEST(Celp80Parity, FailedParityReusesTheLastLagWithoutFraction) {
  // Frame 1 leaves a lag of 87: 88 in its first subframe, then 87 (index 14
  // around 88) in its second.
  const Bytes first = celp80_frame(200, parity_bit(200, true), 14);
  // Index 199 is the lag 87 with no fraction, the lag a bad frame reuses.
  const Bytes good = decode_celp80({first, celp80_frame(199, parity_bit(199, true), 20)});
  const Bytes bad = decode_celp80({first, celp80_frame(50, parity_bit(50, false), 20)});
  const Bytes other = decode_celp80({first, celp80_frame(50, parity_bit(50, true), 20)});
  EXPECT_EQ(pcm_of_frame(bad, 1), pcm_of_frame(good, 1));
  EXPECT_NE(pcm_of_frame(other, 1), pcm_of_frame(good, 1));
}

TEST(CelpFrameStep, UnknownFrameSizeSkipsTheDecode) {
  DecoderState st;
  st.frame_bits = 118;
  std::memset(st.frame, 0x5A, sizeof st.frame);
  const Memories before(st);
  uint8_t pcm[160];
  std::memset(pcm, 0xEE, sizeof pcm);
  celp_frame_step(st, pcm);
  EXPECT_EQ(st.status, 8);
  EXPECT_STREQ(vdec_status_text(st, 8), "Unrecognized frame type: uncorrect value of 118");
  EXPECT_EQ(Bytes(pcm, pcm + 160), Bytes(160, 0));
  EXPECT_EQ(st.celp_frames_decoded, 0u);
  EXPECT_TRUE(Memories(st) == before);
}

TEST(CelpOpen, RejectedModeStillResetsTheMemories) {
  VoiceFileBuilder celp(VoiceMode::Celp64);
  celp.speech_frames(10).end_marker();
  TempFile f(celp.bytes());
  DecoderState st;
  decode_all(st, f.c_str());
  ASSERT_NE(st.celp.old_T0, 60);
  vdec_close(st);
  vdec_reset_status(st);

  VoiceFileBuilder bad(VoiceMode::Celp64);
  bad.mode_byte(5).speech_frames(3).end_marker();
  TempFile g(bad.bytes());
  EXPECT_EQ(vdec_open(st, g.c_str(), nullptr), 64);
  EXPECT_EQ(st.celp.old_T0, 60);
  EXPECT_EQ(st.celp.mem_syn[29], 0);
}

TEST(CelpOpen, DirectIndexModeOnlyForFiftySixBitFrames) {
  for (VoiceMode m : {VoiceMode::Celp56, VoiceMode::Celp64, VoiceMode::Celp80}) {
    VoiceFileBuilder b(m);
    b.speech_frames(1).end_marker();
    OpenedVoice v(b);
    EXPECT_EQ(v.st.direct_index_mode, m == VoiceMode::Celp56 ? 1 : 0);
    EXPECT_EQ(v.st.frame_bits, 8 * frame_bytes_of(m));
  }
}

}  // namespace
}  // namespace voice
