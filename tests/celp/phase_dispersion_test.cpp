#include "celp/phase_dispersion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace celp {
namespace {

TEST(PhaseDispersion, PredictedStateIsTheOnePhDispPicks) {
  // Random gain histories and gains against the decoder's own dispersion.
  uint32_t seed = 3;
  auto next = [&](int range) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  ScaledShort code[40] = {}, x[40] = {}, y[40];
  code[7] = 0x1FFF00;
  for (int round = 0; round < 2000; ++round) {
    PhDispState st;
    for (ScaledShort& g : st.gain_mem) g = next(20000) * 256;
    st.prev_state = next(3);
    st.prev_cb_gain = next(3000) * 256;
    st.onset = next(3);
    const ScaledShort gain_pit = next(20000) * 256, gain_code = next(6000) * 256;
    const int predicted = dispersion_state(st, gain_code, gain_pit);
    ScaledShort inno[40];
    std::memcpy(inno, code, sizeof inno);
    PhDisp(st, x, y, gain_code, gain_pit, inno);
    EXPECT_EQ(predicted, st.prev_state) << round;
  }
}

}  // namespace
}  // namespace celp
