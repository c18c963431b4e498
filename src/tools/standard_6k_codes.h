// A 56-bit frame, once widened, is decoded at 6.4 kbit/s with its position
// and gain codes taken as direct table indices. A standard 6.4 kbit/s frame
// carries Gray-coded position indices and permuted gain indices instead; these
// give the standard codes that select the same pulses and gains.
#pragma once

namespace tools {

// From a widened 9-bit position code (pulse 1 index in bits 0-3, pulse 2
// index in bits 4-8).
int standard_position_code(int direct_code);
// From a widened 6-bit gain code (first stage in bits 3-5, second in 0-2).
int standard_gain_code(int direct_code);

}  // namespace tools
