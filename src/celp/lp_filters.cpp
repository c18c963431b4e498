#include "celp/lp_filters.h"

#include "celp/oper_32b.h"

namespace celp {

void Int_qlpc(const ScaledShort lsp_old[M], const ScaledShort lsp_new[M],
              ScaledShort A_t[2 * MP1]) {
  // The first subframe lies halfway between the two frames' analyses.
  ScaledShort lsp_mid[M];
  for (int i = 0; i < M; ++i) lsp_mid[i] = add(shr(lsp_old[i], 1), shr(lsp_new[i], 1));
  Lsp_Az(lsp_mid, A_t);
  Lsp_Az(lsp_new, A_t + MP1);
}

void Lsp_Az(const ScaledShort lsp[M], ScaledShort a[MP1]) {
  // A(z) = (F1(z) (1 + 1/z) + F2(z) (1 - 1/z)) / 2, with F1 built on the
  // even-numbered and F2 on the odd-numbered LSPs. Both are symmetric, so
  // their first six coefficients give all eleven of A.
  ScaledShort p1[5];
  ScaledShort p2[5];
  for (int i = 0; i < 5; ++i) {
    p1[i] = lsp[2 * i];
    p2[i] = lsp[2 * i + 1];
  }
  ScaledLong f1[6];
  ScaledLong f2[6];
  Get_lsp_pol(p1, f1);
  Get_lsp_pol(p2, f2);

  for (int i = 5; i > 0; --i) {
    f1[i] = L_add(f1[i], f1[i - 1]);
    f2[i] = L_sub(f2[i], f2[i - 1]);
  }

  // Q24 to Q12 with the halving folded in; truncated, not rounded.
  a[0] = 0x100000;
  for (int i = 1, j = 10; i <= 5; ++i, --j) {
    a[i] = extract_l(L_shr_z(L_add(f1[i], f2[i]), 21));
    a[j] = extract_l(L_shr_z(L_sub(f1[i], f2[i]), 21));
  }
}

void Get_lsp_pol(const ScaledShort* lsp, ScaledLong f[6]) {
  // Multiplies out the product of (1 - 2 q z^-1 + z^-2) over the five LSPs,
  // one factor at a time. Updating from the top down lets each coefficient
  // read its lower neighbours before this factor changes them.
  f[0] = L_mult(4096 * 256, 2048 * 256);
  f[1] = L_msu(0, lsp[0], 512 * 256);
  for (int i = 2; i <= 5; ++i) {
    const ScaledShort q = lsp[i - 1];
    f[i] = f[i - 2];
    for (int m = i; m >= 2; --m) {
      const HiLo x = L_Extract(f[m - 1]);
      const ScaledLong t = L_shl(Mpy_32_16(x.hi, x.lo, q), 1);
      f[m] = L_sub(L_add(f[m], f[m - 2]), t);
    }
    f[1] = L_msu(f[1], q, 512 * 256);
  }
}

}  // namespace celp
