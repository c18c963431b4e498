// LP filters and line spectral pairs in floating point. LSPs are the
// cosines of the line spectral frequencies, decreasing from near 1 to near
// -1, as the decoder holds them.
#pragma once

namespace encoder {

// The 10 LSPs of A(z). Returns false (lsp untouched) when fewer than 10
// roots are found, which happens only for filters at the edge of stability.
bool lp_to_lsp(const float a[11], float lsp[10]);

// A(z) from 10 LSPs.
void lsp_to_lp(const float lsp[10], float a[11]);

}  // namespace encoder
