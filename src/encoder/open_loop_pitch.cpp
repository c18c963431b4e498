#include "encoder/open_loop_pitch.h"

#include <cmath>

#include "encoder/float_filters.h"

namespace encoder {
namespace {

struct Peak {
  int lag;
  float score;  // correlation normalised by the delayed signal's energy
};

Peak best_in_range(const float* wsp, int lg, int lag_min, int lag_max) {
  int best = lag_max;
  float best_corr = -INFINITY;
  for (int t = lag_max; t >= lag_min; --t) {
    const float c = dot(wsp, wsp - t, lg);
    if (c > best_corr) {
      best_corr = c;
      best = t;
    }
  }
  const float energy = dot(wsp - best, wsp - best, lg);
  return {best, best_corr / std::sqrt(energy > 1e-3f ? energy : 1e-3f)};
}

}  // namespace

int open_loop_pitch(const float* wsp, int lg) {
  // One candidate per octave; a shorter lag wins unless it is clearly
  // worse, which avoids choosing a multiple of the period.
  Peak p = best_in_range(wsp, lg, 80, 143);
  const Peak p2 = best_in_range(wsp, lg, 40, 79);
  if (p2.score > 0.85f * p.score) p = p2;
  const Peak p3 = best_in_range(wsp, lg, 20, 39);
  if (p3.score > 0.85f * p.score) p = p3;
  return p.lag;
}

}  // namespace encoder
