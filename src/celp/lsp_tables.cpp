#include "celp/lsp_tables.h"

namespace celp {

const int32_t freq_prev_reset[M] = {
    2339 * 256,  4679 * 256,  7018 * 256,  9358 * 256,  11698 * 256,
    14037 * 256, 16377 * 256, 18717 * 256, 21056 * 256, 23396 * 256,
};

}  // namespace celp
