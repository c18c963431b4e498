#include <algorithm>

#include "celp/decode_frame.h"
#include "celp/decoder_reset.h"
#include "celp/unpack_frame_params.h"
#include "postfilter/output_highpass.h"
#include "postfilter/post_filter.h"
#include "voice/mode_steps.h"

namespace voice {
namespace {

// The output filter has already saturated each sample: its top 16 bits are
// the PCM sample, truncated.
void write_pcm(const celp::ScaledShort* signal, uint8_t* pcm) {
  for (int k = 0; k < celp::L_FRAME; ++k) {
    pcm[2 * k] = static_cast<uint8_t>(signal[k] >> 8);
    pcm[2 * k + 1] = static_cast<uint8_t>(signal[k] >> 16);
  }
}

}  // namespace

void celp_open_step(DecoderState& st) {
  std::fill(std::begin(st.celp.synth_buf), std::end(st.celp.synth_buf), 0);
  st.celp_frames_decoded = 0;
  celp::Init_Decod_ld8(st.celp);
  postfilter::Init_Post_Filter(st.post);
  postfilter::Init_Post_Process(st.highpass);

  if (!read_frame_count(st)) return;
  const auto mode = mode_from_value(st.mode);
  if (!mode) {
    st.status = status::kBadFileFormat;
    return;
  }
  st.frame_bytes = frame_bytes_of(*mode);
  st.frame_bits = 8 * st.frame_bytes;
  skip_leading_frames(st);
  st.direct_index_mode = st.frame_bits == 56 ? 1 : 0;
}

void celp_frame_step(DecoderState& st, uint8_t* pcm) {
  celp::FrameParams prm{};
  if (!celp::unpack_frame_params(st.frame, prm, st.frame_bits, st.status)) {
    // No parameters: nothing to decode. The caller sees the latched status;
    // the frame's PCM is silence rather than whatever the buffer held.
    std::fill(pcm, pcm + kPcmFrameBytes, 0);
    return;
  }
  ++st.celp_frames_decoded;
  if (st.frame_bits == 80) prm[5] = celp::Check_Parity_Pitch(prm[4], prm[5]);
  prm[0] = 0;

  celp::ScaledShort A_t[2 * celp::MP1];
  int T0_first = 0;
  int m_pst = 0;
  int frame_type = 0;
  celp::celp_decode_frame(st.celp, prm, st.direct_index_mode, A_t, T0_first, m_pst, frame_type);

  const celp::ScaledShort* synth = st.celp.synth_buf + celp::SYNTH_HISTORY;
  celp::ScaledShort work[celp::L_FRAME];
  celp::Copy(synth, work, celp::L_FRAME);
  for (int k = 0; k < 2; ++k) {
    postfilter::Post(st.post, T0_first, synth + celp::L_SUBFR * k, A_t + (m_pst + 1) * k,
                     work + celp::L_SUBFR * k, postfilter::GAMMA1_PST, postfilter::GAMMA2_PST,
                     postfilter::LONG_H_ST, m_pst, st.status);
  }
  postfilter::Post_Process(st.highpass, work, celp::L_FRAME);
  write_pcm(work, pcm);
}

}  // namespace voice
