// LSP decoding through the switched moving-average predictor.
#pragma once

#include "celp/celp_state.h"

namespace celp {

// Decodes the two LSP fields into 10 LSPs (Q15) and updates freq_prev.
void D_lsp(int L1, int L2, ScaledShort lsp_q[M], ScaledShort freq_prev[4][M]);

void Lsp_expand_1_2(ScaledShort buf[M], ScaledShort gap);
void Lsp_stability(ScaledShort lsf[M]);
// LSF (radians, Q13) to LSP (cosine domain, Q15).
void Lsf_lsp2(const ScaledShort lsf[M], ScaledShort lsp[M]);
void Lsp_decw_reset(ScaledShort freq_prev[4][M]);

}  // namespace celp
