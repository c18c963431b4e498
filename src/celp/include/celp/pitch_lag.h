// Pitch lag decoding in thirds of a sample.
#pragma once

namespace celp {

// i_subfr 0: absolute lag from the 8-bit index. Otherwise: relative to the
// T0 passed in (subframe 1's lag); rate 1 = 8 kbit/s, 0 = 6.4 kbit/s.
void Dec_lag3(int index, int pit_min, int pit_max, int i_subfr, int& T0, int& T0_frac, int rate);

}  // namespace celp
