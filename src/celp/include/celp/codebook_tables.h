// Constant tables of the pitch interpolation, the algebraic codebooks and the
// gain codebooks. Fixed-point entries are the G.729 values x 256; position,
// index and Gray maps hold plain integers.
#pragma once

#include "celp/basic_op.h"

namespace celp {

// 1/3-sample interpolation filter for the adaptive codebook (Q15).
extern const ScaledShort inter_3l[31];

// 6.4 kbit/s pulse tracks: positions of pulse 1 and pulse 2.
extern const int trackTable0[16];
extern const int trackTable1[32];
// Gray code to position-code map of the 6.4 kbit/s position fields.
extern const int grayDecode[32];

// 8 kbit/s two-stage gain codebook: {pitch gain Q14, correction Q13}.
extern const ScaledShort gbk1[8][2];
extern const ScaledShort gbk2[16][2];
extern const int imap1[8];
extern const int imap2[16];

// 6.4 kbit/s two-stage gain codebook: {pitch gain Q14, correction Q14}.
extern const ScaledShort gbk1_6k[8][2];
extern const ScaledShort gbk2_6k[8][2];
extern const int imap1_6k[8];
extern const int imap2_6k[8];

// MA predictor of the fixed-codebook energy (Q13), newest subframe first.
extern const ScaledShort pred[4];

}  // namespace celp
