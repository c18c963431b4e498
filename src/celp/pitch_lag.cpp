// Lags are plain integers, but every step goes through the saturating
// operators because they also drive the Overflow flag.
#include "celp/pitch_lag.h"

#include "celp/basic_op.h"

namespace celp {

namespace {

// mult by 1/3 in Q15: floor(x * 10923 / 32768), x / 3 rounded down for the
// small non-negative values that occur here.
constexpr ScaledShort kOneThird = 10923 * 256;

// Second-subframe fractions of the 6.4 kbit/s codes 4 to 11; 2 stands for
// the next lag's -1/3.
constexpr int kFrac64[8] = {1, 2, 0, 1, 2, 0, 1, 2};

int times3(int x) {
  return add(add(x, x), x);
}

}  // namespace

void Dec_lag3(int index, int pit_min, int pit_max, int i_subfr, int& T0, int& T0_frac, int rate) {
  if (i_subfr == 0) {
    // Below 85 the lag runs in thirds from 19 1/3; above, whole samples.
    if (index < 197) {
      T0 = add(mult(add(index, 2), kOneThird), 19);
      T0_frac = add(sub(index, times3(T0)), 58);
    } else {
      T0 = sub(index, 112);
      T0_frac = 0;
    }
    return;
  }

  // Subframe 2 codes a small window around subframe 1's lag, kept inside
  // the lag range.
  int T0_min = sub(T0, 5);
  if (T0_min < pit_min) T0_min = pit_min;
  const int T0_max = add(T0_min, 9);
  if (T0_max > pit_max) T0_min = sub(pit_max, 9);

  if (rate == 1) {
    const int i = sub(mult(add(index, 2), kOneThird), 1);
    T0 = add(i, T0_min);
    T0_frac = sub(sub(index, 2), times3(i));
    return;
  }

  // 6.4 kbit/s: whole lags at the window's edges, thirds in its middle.
  const int a = index & 15;
  if (a <= 3) {
    T0 = add(T0_min, a);
    T0_frac = 0;
  } else if (a <= 11) {
    T0_frac = kFrac64[a - 4];
    T0 = add(add(mult(sub(a, T0_frac), kOneThird), T0_min), 2);
    if (T0_frac == 2) {
      T0_frac = -1;
      T0 = add(T0, 1);
    }
  } else {
    T0 = add(T0_min, sub(a, 6));
    T0_frac = 0;
  }
}

}  // namespace celp
