// Impulse responses of the phase dispersion (Q15, x 256).
#pragma once

#include <cstdint>

namespace celp {

extern const int32_t ph_imp_low[40];   // strong dispersion
extern const int32_t ph_imp_mid[40];   // medium dispersion
extern const int32_t ph_imp_none[40];  // unit impulse

}  // namespace celp
