#include "celp/fixed_codebook.h"

#include "celp/basic_op.h"
#include "celp/codebook_tables.h"

namespace celp {

namespace {

constexpr ScaledShort kPlusOne = 0x1FFF00;   // 8191 in Q13
constexpr ScaledShort kMinusOne = 0x200000;  // magnitude of -8192 in Q13

// Track k of the 8 kbit/s codebook holds positions 5i + k.
int times5(int i) {
  return add(i, shl(i, 2));
}

}  // namespace

void Decod_ACELP(int sign, int index, ScaledShort code[L_SUBFR]) {
  int pos[4];
  pos[0] = times5(index & 7);
  pos[1] = times5(shr(index, 3) & 7) + 1;
  pos[2] = times5(shr(index, 6) & 7) + 2;
  // Track 4 spans positions 3 and 4 mod 5; bit 9 picks between them.
  pos[3] = times5(shr(index, 10) & 7) + 3 + (shr(index, 9) & 1);

  for (int i = 0; i < L_SUBFR; ++i) code[i] = 0;

  // The four tracks are disjoint, so each pulse is simply written.
  for (int k = 0; k < 4; ++k) {
    code[pos[k]] = (sign & 1) ? kPlusOne : -kMinusOne;
    sign = shr(sign, 1);
  }
}

void Decod_ACELP64(int sign, int index, ScaledShort code[L_SUBFR], int direct_index_mode) {
  int c1 = index & 15;
  int c2 = shr(index, 4) & 31;
  // The widened codes of the 56-bit frames are already plain position codes.
  if (!direct_index_mode) {
    c1 = grayDecode[c1];
    c2 = grayDecode[c2];
  }
  const int pos[2] = {trackTable0[c1], trackTable1[c2]};

  for (int i = 0; i < L_SUBFR; ++i) code[i] = 0;

  // The tail of the second track revisits positions of the first, so the
  // pulses add up rather than overwrite each other.
  for (int k = 0; k < 2; ++k) {
    if (sign & 1) {
      code[pos[k]] = add(code[pos[k]], kPlusOne);
    } else {
      code[pos[k]] = sub(code[pos[k]], kMinusOne);
    }
    sign = shr(sign, 1);
  }
}

}  // namespace celp
