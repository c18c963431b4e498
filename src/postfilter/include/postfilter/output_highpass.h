// Output high-pass filter, which also doubles the signal.
#pragma once

#include "postfilter/postfilter_state.h"

namespace postfilter {

using celp::ScaledShort;

void Post_Process(HighPassState& st, ScaledShort* signal, int lg);
void Init_Post_Process(HighPassState& st);

}  // namespace postfilter
