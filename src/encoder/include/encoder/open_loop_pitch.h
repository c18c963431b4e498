// A first, integer estimate of the pitch period of a frame from the
// weighted speech, which the closed-loop search then refines around.
#pragma once

namespace encoder {

// wsp[0 .. lg-1]: the frame's weighted speech; wsp[-143 .. -1] its history.
// Returns a lag in 20 .. 143, preferring shorter lags to their multiples.
int open_loop_pitch(const float* wsp, int lg);

}  // namespace encoder
