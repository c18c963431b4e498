// The encoder's searches and tables against the decoder functions they must
// agree with: what a field is chosen for is what the decoder reads from it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "celp/codebook_tables.h"
#include "celp/fixed_codebook.h"
#include "celp/gain_decode.h"
#include "celp/lsp_decode.h"
#include "celp/phase_dispersion.h"
#include "celp/pitch_lag.h"
#include "celp/unpack_frame_params.h"
#include "encoder/dispersion_model.h"
#include "encoder/fixed_codebook_search.h"
#include "encoder/float_filters.h"
#include "encoder/frame_packer.h"
#include "encoder/gain_quantizer.h"
#include "encoder/lsp_conversion.h"
#include "encoder/lsp_quantizer.h"
#include "encoder/pitch_search.h"

namespace encoder {
namespace {

using voice::VoiceMode;

TEST(FramePacker, EveryLayoutUnpacksToTheFieldsPacked) {
  uint32_t seed = 7;
  auto next = [&](int bits) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) & ((1u << bits) - 1));
  };
  for (int round = 0; round < 200; ++round) {
    for (VoiceMode mode : {VoiceMode::Celp56, VoiceMode::Celp64, VoiceMode::Celp80}) {
      const bool is80 = mode == VoiceMode::Celp80, is56 = mode == VoiceMode::Celp56;
      CelpFields f{};
      f.L1 = next(8);
      f.L2 = next(10);
      f.parity = next(1);
      for (int s = 0; s < 2; ++s) {
        f.sub[s].pitch = next(s == 0 ? 8 : is80 ? 5 : 4);
        // 56-bit frames carry the widened codes' narrow forms.
        f.sub[s].positions = is80 ? next(13) : is56 ? 48 * next(3) + 2 * next(3) + 1 : next(9);
        f.sub[s].signs = next(is80 ? 4 : 2);
        f.sub[s].gain = is80 ? next(7) : is56 ? 2 * next(5) : next(6);
      }
      uint8_t frame[10];
      pack_celp_frame(mode, f, frame);
      celp::FrameParams prm{};
      StatusCode status = 0;
      const int bytes = voice::frame_bytes_of(mode);
      ASSERT_TRUE(celp::unpack_frame_params(frame, prm, 8 * bytes, status));
      std::vector<int> want = {f.L1, f.L2, f.sub[0].pitch};
      if (is80) want.push_back(f.parity);
      for (int s = 0; s < 2; ++s) {
        if (s == 1) want.push_back(f.sub[1].pitch);
        want.insert(want.end(), {f.sub[s].positions, f.sub[s].signs, f.sub[s].gain});
      }
      for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(prm[2 + k], want[k]) << "slot " << 2 + k;
    }
  }
}

TEST(FramePacker, ParityBitPassesTheDecoderCheckForEveryPitchIndex) {
  for (int p = 0; p < 256; ++p) EXPECT_EQ(celp::Check_Parity_Pitch(p, pitch_parity(p)), 0) << p;
}

TEST(GainQuantizer, GainsOfEveryCodeAreTheDecodersGains) {
  celp::ScaledShort code[40] = {};
  code[3] = 0x1FFF00;
  code[17] = -0x200000;
  code[30] = 0x1FFF00;
  const celp::ScaledShort past[4] = {-3000 * 256, 1200 * 256, -14336 * 256, 500 * 256};
  celp::ScaledShort gcode0;
  int exp_gcode0;
  celp::Gain_predict(past, code, 40, gcode0, exp_gcode0);
  struct Case {
    GainTable table;
    int codes;
  };
  for (const Case c :
       {Case{GainTable::k8k, 128}, Case{GainTable::k6k, 64}, Case{GainTable::k6kEvenCodes, 64}}) {
    for (int g = 0; g < c.codes; ++g) {
      celp::ScaledShort p[4], gp, gc, want_gp, want_gc;
      std::memcpy(p, past, sizeof p);
      if (c.table == GainTable::k8k)
        celp::Dec_gain(g, code, 40, p, want_gp, want_gc);
      else
        celp::Dec_gain_6k(g, code, 40, p, c.table == GainTable::k6kEvenCodes, want_gp, want_gc);
      decoded_gains(c.table, g, gcode0, exp_gcode0, gp, gc);
      EXPECT_EQ(gp, want_gp) << g;
      EXPECT_EQ(gc, want_gc) << g;
    }
  }
}

TEST(GainQuantizer, ChoosesTheGainsThatRebuildTheTargetAndCanAvoidCodeZero) {
  float y[40], z[40], x[40];
  for (int n = 0; n < 40; ++n) {
    y[n] = 100.0f * std::sin(0.3f * n);
    z[n] = n == 5 ? 1.0f : n == 22 ? -1.0f : 0.0f;
  }
  celp::ScaledShort code[40] = {};
  code[5] = 0x1FFF00;
  code[22] = -0x200000;
  const celp::ScaledShort past[4] = {0, 0, 0, 0};
  celp::ScaledShort gcode0;
  int exp_gcode0;
  celp::Gain_predict(past, code, 40, gcode0, exp_gcode0);
  // A target made of code 37's own gains is matched by code 37.
  celp::ScaledShort gp, gc;
  decoded_gains(GainTable::k8k, 37, gcode0, exp_gcode0, gp, gc);
  for (int n = 0; n < 40; ++n) x[n] = gp / (256.0f * 16384.0f) * y[n] + gc / 512.0f * z[n];
  EXPECT_EQ(quantize_gains(GainTable::k8k, x, y, z, code, past, nullptr, false).index, 37);
  // A zero target is best met by the smallest gains; code 0 may be barred.
  for (float& v : x) v = 0.0f;
  for (GainTable t : {GainTable::k8k, GainTable::k6k, GainTable::k6kEvenCodes}) {
    const int index = quantize_gains(t, x, y, z, code, past, nullptr, true).index;
    EXPECT_NE(index, 0);
    if (t == GainTable::k6kEvenCodes) {
      EXPECT_EQ(index % 2, 0);
    }
  }
}

TEST(PitchSearch, EveryCandidateDecodesToItsLag) {
  LagCandidate c[32];
  for (int t0_min = 20; t0_min <= 137; ++t0_min) {
    const int n = first_subframe_candidates(t0_min, t0_min + 6, c);
    // Thirds below 85, whole samples from there on.
    EXPECT_GE(n, 7);
    for (int k = 0; k < n; ++k) {
      int T0 = 0, frac = 0;
      celp::Dec_lag3(c[k].index, 20, 143, 0, T0, frac, 1);
      EXPECT_EQ(T0, c[k].T0);
      EXPECT_EQ(frac, c[k].frac);
      EXPECT_GE(3 * T0 + frac, 3 * t0_min - 2);
      EXPECT_LE(3 * T0 + frac, 3 * t0_min + 20);
    }
  }
  // 29 1/3 to 36 2/3 in thirds.
  EXPECT_EQ(first_subframe_candidates(30, 36, c), 23);
  for (int rate : {0, 1}) {
    const int n = second_subframe_candidates(60, rate, c);
    EXPECT_EQ(n, rate ? 32 : 16);
    for (int k = 0; k < n; ++k) EXPECT_NEAR(c[k].T0 + c[k].frac / 3.0, 60.0, 6.0);
  }
}

// The target a lag of T0 + frac/3 makes from the past excitation in
// buf[0, 154), through a unit impulse response.
void target_from_past(const std::vector<float>& buf, int T0, int frac, float* x) {
  std::vector<float> scratch = buf;
  interpolate_past_excitation(scratch.data() + 154, T0, frac);
  std::copy(scratch.begin() + 154, scratch.end(), x);
}

TEST(PitchSearch, FindsTheLagOfAPeriodicExcitation) {
  // Past excitation with period 57 1/3 (a pulse every 172 thirds, rendered
  // at integer positions as well as possible): the search lands on 57 1/3
  // or a neighbouring third.
  std::vector<float> buf(154 + 40, 0.0f);
  for (int n = 0; n < 154; ++n) buf[n] = std::sin(2.0f * 3.14159265f * n / (172.0f / 3.0f));
  float h[40] = {1.0f};
  float x[40];
  target_from_past(buf, 57, 1, x);
  LagCandidate c[32];
  const int n = first_subframe_candidates(54, 60, c);
  int ranked[3];
  ASSERT_EQ(search_pitch(buf.data() + 154, x, h, c, n, ranked, 3), 3);
  EXPECT_EQ(3 * c[ranked[0]].T0 + c[ranked[0]].frac, 172);
  // The runners-up are near it.
  for (int k = 1; k < 3; ++k) EXPECT_NEAR(3 * c[ranked[k]].T0 + c[ranked[k]].frac, 172, 3);
}

TEST(PitchSearch, LeavesOutLagsFarBehindTheBest) {
  // Noise-like past excitation: the lags' correlations with a target made
  // from one of them differ widely, and a share of 0.99 keeps the best one
  // alone while no share keeps all three asked for.
  std::vector<float> buf(154 + 40, 0.0f);
  for (int n = 0; n < 154; ++n) buf[n] = std::sin(0.37f * n * n);
  float h[40] = {1.0f};
  float x[40];
  target_from_past(buf, 100, 0, x);
  LagCandidate c[32];
  const int n = first_subframe_candidates(97, 103, c);
  int all[3], kept[3];
  ASSERT_EQ(search_pitch(buf.data() + 154, x, h, c, n, all, 3), 3);
  ASSERT_EQ(search_pitch(buf.data() + 154, x, h, c, n, kept, 3, 0.99f), 1);
  EXPECT_EQ(kept[0], all[0]);
  EXPECT_EQ(c[kept[0]].T0, 100);
}

// A target built from known pulses through a decaying impulse response.
struct PulseTarget {
  float x[40] = {};
  float h[40];
  PulseTarget(const int* pos, const float* amp, int count) {
    for (int n = 0; n < 40; ++n) h[n] = std::pow(0.7f, n) * std::cos(0.9f * n);
    for (int k = 0; k < count; ++k)
      for (int n = pos[k]; n < 40; ++n) x[n] += amp[k] * h[n - pos[k]];
  }
};

TEST(FixedCodebookSearch, RecoversFourPulses) {
  const int pos[4] = {10, 21, 37, 9};
  const float amp[4] = {1.0f, -1.0f, -1.0f, 1.0f};
  PulseTarget t(pos, amp, 4);
  PulseFields ranked[3];
  ASSERT_EQ(search_four_pulses(t.x, t.h, ranked, 3), 3);
  const PulseFields f = ranked[0];
  EXPECT_NE(ranked[1].positions, f.positions);
  celp::ScaledShort code[40];
  celp::Decod_ACELP(f.signs, f.positions, code);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(code[pos[k]] > 0, amp[k] > 0) << pos[k];
  int pulses = 0;
  for (celp::ScaledShort c : code) pulses += c != 0;
  EXPECT_EQ(pulses, 4);
}

TEST(FixedCodebookSearch, RecoversTwoPulsesOnEachGrid) {
  struct Case {
    bool reduced;
    int pos[2];
  };
  for (const Case c : {Case{false, {26, 4}}, Case{false, {11, 11}}, Case{true, {38, 5}}}) {
    const float amp[2] = {-1.0f, c.pos[0] == c.pos[1] ? -1.0f : 1.0f};
    PulseTarget t(c.pos, amp, 2);
    PulseFields ranked[2];
    ASSERT_EQ(search_two_pulses(t.x, t.h, c.reduced, ranked, 2), 2);
    const PulseFields f = ranked[0];
    celp::ScaledShort code[40];
    celp::Decod_ACELP64(f.signs, f.positions, code, c.reduced ? 1 : 0);
    celp::ScaledShort want[40] = {};
    for (int k = 0; k < 2; ++k) want[c.pos[k]] += amp[k] > 0 ? 0x1FFF00 : -0x200000;
    EXPECT_EQ(std::memcmp(code, want, sizeof code), 0) << c.pos[0] << " " << c.pos[1];
  }
}

TEST(DispersionModel, PulseResponsesAreThoseOfTheDispersedSharpenedPulse) {
  float h[40];
  for (int n = 0; n < 40; ++n) h[n] = std::pow(0.8f, n) * std::cos(0.5f * n);
  for (int state : {0, 1}) {
    for (int T0 : {25, 60}) {
      float g[40][40];
      dispersed_responses(h, state, T0, 0.5f, g);
      for (int p : {0, 13, 39}) {
        float c[40] = {};
        c[p] = 1.0f;
        for (int n = T0; n < 40; ++n) c[n] += 0.5f * c[n - T0];
        float want[40];
        disperse_and_filter(c, h, state, want);
        for (int n = 0; n < 40; ++n) EXPECT_NEAR(g[p][n], want[n], 1e-4f) << p << " " << n;
      }
    }
  }
}

TEST(DispersionModel, StatesOfManyGainsAreTheDecodersOneByOne) {
  // Pitch gains around 0.6 and 0.9 (Q14), fixed gains around double the last.
  const celp::ScaledShort ltp[] = {0,           9829 * 256,  9830 * 256, 9831 * 256,
                                   14744 * 256, 14745 * 256, 19660 * 256};
  const celp::ScaledShort cb[] = {0, 1999 * 256, 2000 * 256, 2001 * 256, 2002 * 256, 30000 * 256};
  for (int remembered_low = 0; remembered_low <= 5; ++remembered_low)
    for (int prev_state = 0; prev_state <= 2; ++prev_state)
      for (int onset = 0; onset <= 2; ++onset) {
        celp::PhDispState st;
        for (int i = 0; i < 6; ++i) st.gain_mem[i] = i < remembered_low ? 8000 * 256 : 12000 * 256;
        st.prev_state = prev_state;
        st.prev_cb_gain = 1000 * 256;
        st.onset = onset;
        std::vector<celp::ScaledShort> pit, fixed;
        for (const celp::ScaledShort p : ltp)
          for (const celp::ScaledShort c : cb) {
            pit.push_back(p);
            fixed.push_back(c);
          }
        std::vector<int> state(pit.size());
        celp::Overflow = 1;
        dispersion_states(st, pit.data(), fixed.data(), static_cast<int>(pit.size()), state.data());
        EXPECT_EQ(celp::Overflow, 0);
        for (size_t k = 0; k < pit.size(); ++k)
          EXPECT_EQ(state[k], celp::dispersion_state(st, fixed[k], pit[k]))
              << remembered_low << " " << prev_state << " " << onset << " " << k;
      }
}

TEST(LspConversion, FilterSurvivesTheRoundTrip) {
  // A stable filter with formant-like poles.
  float a[11] = {1.0f};
  const float radius[5] = {0.95f, 0.9f, 0.85f, 0.8f, 0.7f};
  const float angle[5] = {0.3f, 0.8f, 1.5f, 2.2f, 2.8f};
  for (int k = 0; k < 5; ++k) {
    const float c1 = -2.0f * radius[k] * std::cos(angle[k]), c2 = radius[k] * radius[k];
    for (int i = 10; i >= 2; --i) a[i] += c1 * a[i - 1] + c2 * a[i - 2];
    a[1] += c1;
  }
  float lsp[10], back[11];
  ASSERT_TRUE(lp_to_lsp(a, lsp));
  for (int i = 1; i < 10; ++i) EXPECT_LT(lsp[i], lsp[i - 1]);
  lsp_to_lp(lsp, back);
  for (int i = 0; i <= 10; ++i) EXPECT_NEAR(back[i], a[i], 1e-4f) << i;
}

TEST(LspQuantizer, ACodebookVectorIsFoundAgain) {
  // LSPs that the decoder itself produced from some fields are quantised
  // back to LSPs as close as the decoder can make them.
  celp::ScaledShort freq_prev[4][celp::M];
  celp::Lsp_decw_reset(freq_prev);
  celp::ScaledShort want[10];
  celp::ScaledShort prev_copy[4][celp::M];
  std::memcpy(prev_copy, freq_prev, sizeof prev_copy);
  celp::D_lsp((1 << 7) | 45, (9 << 5) | 20, want, prev_copy);
  float lsp[10];
  for (int j = 0; j < 10; ++j) lsp[j] = want[j] / (256.0f * 32768.0f);
  const LspCodes codes = quantize_lsp(lsp, freq_prev);
  celp::ScaledShort got[10];
  celp::D_lsp(codes.L1, codes.L2, got, freq_prev);
  for (int j = 0; j < 10; ++j) EXPECT_NEAR(got[j] / (256.0f * 32768.0f), lsp[j], 2e-3f) << j;
}

}  // namespace
}  // namespace encoder
