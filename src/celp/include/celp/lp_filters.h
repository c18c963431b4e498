// LP filter coefficients from LSPs, and their interpolation per subframe.
#pragma once

#include "celp/celp_state.h"

namespace celp {

// A_t[0..10]: subframe 1, from the mean of old and new LSPs; A_t[11..21]:
// subframe 2, from the new LSPs. Q12, first coefficient 1.0.
void Int_qlpc(const ScaledShort lsp_old[M], const ScaledShort lsp_new[M], ScaledShort A_t[2 * MP1]);
// LSPs (cosine domain, Q15) to the LP filter a[0..10] (Q12, a[0] = 1.0).
void Lsp_Az(const ScaledShort lsp[M], ScaledShort a[MP1]);
// lsp[0..4]: five consecutive values (Lsp_Az gathers every other LSP).
// f[0..5]: the first six coefficients of the symmetric product polynomial, Q24.
void Get_lsp_pol(const ScaledShort* lsp, ScaledLong f[6]);

}  // namespace celp
