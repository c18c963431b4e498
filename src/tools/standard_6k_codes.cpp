#include "tools/standard_6k_codes.h"

#include <cstddef>

#include "celp/codebook_tables.h"

namespace tools {

namespace {

// The code the decoder's table maps to `index`. The tables are permutations,
// so inverting them keeps this in step with the decoder by construction.
template <std::size_t N>
int code_mapped_to(const int (&table)[N], int index) {
  for (std::size_t code = 0; code < N; ++code)
    if (table[code] == index) return static_cast<int>(code);
  return 0;
}

}  // namespace

int standard_position_code(int direct_code) {
  const int pulse1 = direct_code & 15;
  const int pulse2 = (direct_code >> 4) & 31;
  return code_mapped_to(celp::grayDecode, pulse2) << 4 | code_mapped_to(celp::grayDecode, pulse1);
}

int standard_gain_code(int direct_code) {
  const int first = (direct_code >> 3) & 7;
  const int second = direct_code & 7;
  return code_mapped_to(celp::imap1_6k, first) << 3 | code_mapped_to(celp::imap2_6k, second);
}

}  // namespace tools
