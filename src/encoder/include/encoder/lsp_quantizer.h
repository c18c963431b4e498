// Chooses the two LSP fields of a frame: the switched MA predictor, the
// 7-bit first stage and the two 5-bit halves of the second stage, with the
// decoder's own codebooks and predictor memory.
#pragma once

#include "celp/celp_state.h"

namespace encoder {

struct LspCodes {
  int L1;  // bit 7: predictor, bits 0-6: first stage
  int L2;  // bits 5-9: second stage for LSFs 1-5, bits 0-4 for LSFs 6-10
};

// lsp: the unquantised LSPs (cosine domain). freq_prev: the decoder's MA
// predictor memory before this frame.
LspCodes quantize_lsp(const float lsp[10], const celp::ScaledShort freq_prev[4][celp::M]);

}  // namespace encoder
