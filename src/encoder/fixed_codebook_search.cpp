#include "encoder/fixed_codebook_search.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "celp/codebook_tables.h"
#include "encoder/float_filters.h"

namespace encoder {
namespace {

// The target correlated with the filter's response to a pulse at each
// position, the pulse signs that correlation suggests, and the correlations
// of those signed responses with each other (the four-pulse search's; the
// pair searches keep theirs in PairTerms).
struct SearchTerms {
  float d[kSubframe];              // |correlation| with the target
  float sign[kSubframe];           // +1 or -1
  float rr[kSubframe][kSubframe];  // signed response correlations
};

// Every place's and every pair's terms, as the 8 kbit/s search needs them.
void prepare(const float* x, const float* h, SearchTerms& t) {
  for (int n = 0; n < kSubframe; ++n) {
    float s = 0.0f;
    for (int i = n; i < kSubframe; ++i) s += x[i] * h[i - n];
    t.sign[n] = s >= 0.0f ? 1.0f : -1.0f;
    t.d[n] = std::fabs(s);
  }
  // phi(i, j) = phi(i+1, j+1) + h[39-i] h[39-j]: fill each diagonal upwards
  // from the bottom-right corner.
  for (int delta = 0; delta < kSubframe; ++delta) {
    float s = 0.0f;
    for (int j = kSubframe - 1, i = j - delta; i >= 0; --i, --j) {
      s += h[kSubframe - 1 - i] * h[kSubframe - 1 - j];
      const float v = s * t.sign[i] * t.sign[j];
      t.rr[i][j] = v;
      t.rr[j][i] = v;
    }
  }
}

constexpr int kPlacesTried = 4;

// The kPlacesTried places 5k + track with the largest |correlation|.
void best_places(const SearchTerms& t, int track, int* out) {
  int all[8];
  for (int k = 0; k < 8; ++k) all[k] = 5 * k + track;
  std::partial_sort(all, all + kPlacesTried, all + 8,
                    [&](int a, int b) { return t.d[a] > t.d[b]; });
  std::copy(all, all + kPlacesTried, out);
}

int sign_bit(const SearchTerms& t, int pos) {
  return t.sign[pos] > 0.0f ? 1 : 0;
}

// The places of a track that a pair search tries: pos[use[k]] for k < count,
// use[] ascending.
struct TrackPlaces {
  const int* pos;
  int use[32];
  int count;
};

TrackPlaces all_places(const int* pos, int n) {
  TrackPlaces places{pos, {}, n};
  for (int k = 0; k < n; ++k) places.use[k] = k;
  return places;
}

// A pair search's response terms, in the order of its places: the filtered
// energy of each first and second place's pulse, and the signed correlation
// of each pair. Held compact, so that the search reads each row in a run.
struct PairTerms {
  float energy1[16];
  float energy2[32];
  float cross[16][32];
};

// The largest of crit[0..n) and -1 (below any pair's criterion), in four
// lanes that compile to vector maxima.
float row_max(const float* crit, int n) {
  float lane[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
  int b = 0;
  for (; b + 4 <= n; b += 4)
    for (int k = 0; k < 4; ++k) lane[k] = crit[b + k] > lane[k] ? crit[b + k] : lane[k];
  for (; b < n; ++b) lane[0] = crit[b] > lane[0] ? crit[b] : lane[0];
  return std::max(std::max(lane[0], lane[1]), std::max(lane[2], lane[3]));
}

// The best pairs with pulse 1 from one track's places and pulse 2 from the
// other's, best first (of equals, the earlier pair): k1[n], k2[n] index the
// tracks' position lists. Returns max_out (at least 1, at most
// kMaxPulseCandidates); a place beyond the pairs with a criterion above -1 is
// the pair of both tracks' first places.
int best_pairs(const SearchTerms& t, const PairTerms& pt, const TrackPlaces& one,
               const TrackPlaces& two, int* k1, int* k2, int max_out) {
  const int keep = std::clamp(max_out, 1, kMaxPulseCandidates);
  // The second pulse's correlations gathered once, so that each first
  // pulse's criteria are computed side by side.
  const int n2 = two.count;
  float d2[32];
  for (int b = 0; b < n2; ++b) d2[b] = t.d[two.pos[two.use[b]]];
  float crit[16 * 32];
  for (int a = 0; a < one.count; ++a) {
    const float d1 = t.d[one.pos[one.use[a]]];
    float* row = crit + a * n2;
    for (int b = 0; b < n2; ++b) {
      const float num = d1 + d2[b];
      row[b] = num * num / (pt.energy1[a] + pt.energy2[b] + 2.0f * pt.cross[a][b]);
    }
  }
  // Each best found side by side, then its first place: where the best pairs
  // lie is anyone's guess, and keeping a sorted list as the criteria come
  // costs a mispredicted branch at nearly every improvement.
  const int pairs = one.count * n2;
  for (int n = 0; n < keep; ++n) {
    const float best = row_max(crit, pairs);
    if (!(best > -1.0f)) {
      k1[n] = k2[n] = 0;
      continue;
    }
    const int at = static_cast<int>(std::find(crit, crit + pairs, best) - crit);
    k1[n] = one.use[at / n2];
    k2[n] = two.use[at % n2];
    crit[at] = -INFINITY;
  }
  return keep;
}

// num^2 / den of the 16 places of the fourth pulse.
void criteria16(const float* num013, const float* den013, float num2, float den2, const float* c2,
                float* crit) {
  float num[16], den[16];
  for (int k = 0; k < 16; ++k) {
    num[k] = num013[k] + num2;
    den[k] = den013[k] + den2 + c2[k];
  }
  for (int k = 0; k < 16; ++k) crit[k] = num[k] * num[k] / den[k];
}

}  // namespace

int search_four_pulses(const float* x, const float* h, PulseFields* out, int max_out) {
  SearchTerms t;
  prepare(x, h, t);
  // The fourth track holds 16 positions: 5k+3 and 5k+4. Its terms are
  // gathered contiguously so that the innermost loop runs over plain arrays.
  int track3[16];
  for (int k = 0; k < 8; ++k) {
    track3[k] = 5 * k + 3;
    track3[8 + k] = 5 * k + 4;
  }
  float d3[16], diag3[16];
  float cross3[kSubframe][16];
  for (int k = 0; k < 16; ++k) {
    d3[k] = t.d[track3[k]];
    diag3[k] = t.rr[track3[k]][track3[k]];
    for (int p = 0; p < kSubframe; ++p) cross3[p][k] = 2.0f * t.rr[p][track3[k]];
  }

  // The best few, kept sorted: the caller judges them with their quantised
  // gains, which this criterion (the best unquantised gain) does not know.
  struct Entry {
    float crit;
    int pos[4];
  };
  Entry top[kMaxPulseCandidates];
  const int keep = std::clamp(max_out, 1, kMaxPulseCandidates);
  for (int n = 0; n < keep; ++n) top[n] = {-1.0f, {0, 1, 2, 3}};
  // The first three pulses only at the four places of their tracks that
  // correlate best with the target: a quarter of the combinations, and the
  // best sets found are nearly always among them.
  int places[3][kPlacesTried];
  for (int track = 0; track < 3; ++track) best_places(t, track, places[track]);
  for (const int i0 : places[0]) {
    for (const int i1 : places[1]) {
      // The terms of pulses 1, 2 and 4, for each place of pulse 4.
      const float num01 = t.d[i0] + t.d[i1];
      const float den01 = t.rr[i0][i0] + t.rr[i1][i1] + 2.0f * t.rr[i0][i1];
      const float* c0 = cross3[i0];
      const float* c1 = cross3[i1];
      float num013[16], den013[16];
      for (int k = 0; k < 16; ++k) {
        num013[k] = num01 + d3[k];
        den013[k] = den01 + diag3[k] + c0[k] + c1[k];
      }
      for (const int i2 : places[2]) {
        const float num2 = t.d[i2];
        const float den2 = t.rr[i2][i2] + 2.0f * (t.rr[i0][i2] + t.rr[i1][i2]);
        const float* c2 = cross3[i2];
        // The 16 criteria side by side (the filtered energy of a non-zero
        // pulse vector is positive), then one pass for the rare improvement.
        float crit[16];
        criteria16(num013, den013, num2, den2, c2, crit);
        for (int k = 0; k < 16; ++k) {
          if (crit[k] <= top[keep - 1].crit) continue;
          int n = keep - 1;
          for (; n > 0 && top[n - 1].crit < crit[k]; --n) top[n] = top[n - 1];
          top[n] = {crit[k], {i0, i1, i2, track3[k]}};
        }
      }
    }
  }
  for (int n = 0; n < keep; ++n) {
    const int* p = top[n].pos;
    const int jx = p[3] % 5 == 4 ? 1 : 0;
    out[n].positions =
        (p[0] / 5) | ((p[1] / 5) << 3) | ((p[2] / 5) << 6) | (jx << 9) | ((p[3] / 5) << 10);
    out[n].signs = sign_bit(t, p[0]) | (sign_bit(t, p[1]) << 1) | (sign_bit(t, p[2]) << 2) |
                   (sign_bit(t, p[3]) << 3);
  }
  return keep;
}

namespace {

// The reduced grid's places: pulse 1 on 5k + 3, pulse 2 on 5k.
void reduced_grid(int* p1, int* p2) {
  for (int k = 0; k < 8; ++k) {
    p1[k] = 5 * k + 3;
    p2[k] = 5 * k;
  }
}

// Field codes c with grayDecode[c] = track index.
struct GrayEncode {
  int code[32];
  GrayEncode() {
    for (int c = 0; c < 32; ++c) code[celp::grayDecode[c]] = c;
  }
};

// The best pairs on the full 6.4 kbit/s grid, as the decoder's fields.
int pick_full_grid_pairs(const SearchTerms& t, const PairTerms& pt, const TrackPlaces& one,
                         const TrackPlaces& two, PulseFields* out, int max_out) {
  static const GrayEncode gray;
  int k1[kMaxPulseCandidates], k2[kMaxPulseCandidates];
  const int n = best_pairs(t, pt, one, two, k1, k2, max_out);
  for (int m = 0; m < n; ++m) {
    out[m].positions = gray.code[k1[m]] | (gray.code[k2[m]] << 4);
    out[m].signs =
        sign_bit(t, celp::trackTable0[k1[m]]) | (sign_bit(t, celp::trackTable1[k2[m]]) << 1);
  }
  return n;
}

// The best pairs on the reduced grid, as the decoder's fields.
int pick_reduced_grid_pairs(const SearchTerms& t, const PairTerms& pt, PulseFields* out,
                            int max_out) {
  int k1[kMaxPulseCandidates], k2[kMaxPulseCandidates];
  int p1[8], p2[8];
  reduced_grid(p1, p2);
  const int n = best_pairs(t, pt, all_places(p1, 8), all_places(p2, 8), k1, k2, max_out);
  for (int m = 0; m < n; ++m) {
    // The widened code: trackTable0[2 k1 + 1] = 5 k1 + 3, trackTable1[3 k2] = 5 k2.
    out[m].positions = (2 * k1[m] + 1) | ((3 * k2[m]) << 4);
    out[m].signs = sign_bit(t, p1[k1[m]]) | (sign_bit(t, p2[k2[m]]) << 1);
  }
  return n;
}

// The places of the full grid's first pass: those of each track that
// correlate best with the target, as in the 8 kbit/s track search. The pairs
// of the others nearly never win, and leaving them out saves most of the
// pass's work.
constexpr int kFirstPassPlaces1 = 6;
constexpr int kFirstPassPlaces2 = 12;

// The target filtered backwards, d[p] = sum of x[p + k] h[k], for every place
// side by side, each sum taken in the order of k as prepare() takes it.
void backward_filter(const float* x, const float* h, float* d) {
  float padded[2 * kSubframe] = {};
  std::copy(x, x + kSubframe, padded);
  float acc[kSubframe] = {};
  for (int k = 0; k < kSubframe; ++k) {
    const float hk = h[k];
    for (int p = 0; p < kSubframe; ++p) acc[p] += hk * padded[p + k];
  }
  std::copy(acc, acc + kSubframe, d);
}

// The response correlations phi(i, j) (i <= j) read as
// energy[40 - j][j - i], energy[L][delta] = sum over k < L of h[k] h[k + delta]:
// the rows are running sums taken in the order of prepare()'s diagonals,
// every delta side by side.
struct ResponseCorrelations {
  float energy[kSubframe + 1][kSubframe];
  explicit ResponseCorrelations(const float* h) {
    float padded[2 * kSubframe] = {};
    std::copy(h, h + kSubframe, padded);
    std::fill(energy[0], energy[0] + kSubframe, 0.0f);
    for (int L = 1; L <= kSubframe; ++L) {
      const float hk = h[L - 1];
      for (int delta = 0; delta < kSubframe; ++delta)
        energy[L][delta] = energy[L - 1][delta] + padded[L - 1 + delta] * hk;
    }
  }
  // Without a branch: which of a pair comes first is anyone's guess.
  float phi(int i, int j) const {
    const int first = std::min(i, j), last = std::max(i, j);
    return energy[kSubframe - last][last - first];
  }
};

// The response terms of the places a pair search tries.
void pair_terms(const ResponseCorrelations& c, const SearchTerms& t, const TrackPlaces& one,
                const TrackPlaces& two, PairTerms& pt) {
  for (int a = 0; a < one.count; ++a) {
    const int i = one.pos[one.use[a]];
    pt.energy1[a] = c.phi(i, i);
  }
  for (int b = 0; b < two.count; ++b) {
    const int j = two.pos[two.use[b]];
    pt.energy2[b] = c.phi(j, j);
  }
  for (int a = 0; a < one.count; ++a) {
    const int i = one.pos[one.use[a]];
    for (int b = 0; b < two.count; ++b) {
      const int j = two.pos[two.use[b]];
      pt.cross[a][b] = c.phi(i, j) * t.sign[i] * t.sign[j];
    }
  }
}

// Every place's |correlation| with the target and the sign it suggests.
void correlate_with_target(const float* x, const float* h, SearchTerms& t) {
  float s[kSubframe];
  backward_filter(x, h, s);
  for (int n = 0; n < kSubframe; ++n) {
    t.sign[n] = s[n] >= 0.0f ? 1.0f : -1.0f;
    t.d[n] = std::fabs(s[n]);
  }
}

// The `count` places of pos[0..n) (n <= 32) that correlate best, as the
// ascending indices a pair search takes. Each place's rank is counted side by
// side and kept without a branch: where the strongest places fall is anyone's
// guess, and a sort's mispredicted branches cost more than the whole count.
TrackPlaces strongest_places(const SearchTerms& t, const int* pos, int n, int count) {
  if (count >= n) return all_places(pos, n);
  // A |correlation|'s bits order as its value does. The lowest five give way
  // to the place's index, the earlier above, so that no two keys are equal
  // and exactly `count` places are kept; 0 pads the keys to 32.
  int32_t key[32] = {};
  for (int k = 0; k < n; ++k) key[k] = (std::bit_cast<int32_t>(t.d[pos[k]]) & ~31) | (31 - k);
  TrackPlaces places{pos, {}, 0};
  for (int k = 0; k < n; ++k) {
    int ahead = 0;
    for (int j = 0; j < 32; ++j) ahead += key[j] > key[k] ? 1 : 0;
    places.use[places.count] = k;
    places.count += ahead < count ? 1 : 0;
  }
  return places;
}

}  // namespace

int search_two_pulses(const float* x, const float* h, bool reduced, PulseFields* out, int max_out) {
  SearchTerms t;
  correlate_with_target(x, h, t);
  const ResponseCorrelations c(h);
  if (reduced) {
    int p1[8], p2[8];
    reduced_grid(p1, p2);
    PairTerms pt;
    pair_terms(c, t, all_places(p1, 8), all_places(p2, 8), pt);
    return pick_reduced_grid_pairs(t, pt, out, max_out);
  }
  const TrackPlaces one = strongest_places(t, celp::trackTable0, 16, kFirstPassPlaces1);
  const TrackPlaces two = strongest_places(t, celp::trackTable1, 32, kFirstPassPlaces2);
  PairTerms pt;
  pair_terms(c, t, one, two, pt);
  return pick_full_grid_pairs(t, pt, one, two, out, max_out);
}

namespace {

// The places tried on the full 6.4 kbit/s grid's two tracks: the reduced
// grid's eight places a track, too.
constexpr int kFirstPlacesTried = 8;
constexpr int kSecondPlacesTried = 8;

// Four floats the compiler keeps in one vector register: the pair
// correlations written with it run four second places per instruction, where
// the compiler's own vectorisation of the plain loops shuffles more than it
// computes. Each lane sums in the plain loop's order, so the sums are the
// same.
using Float4 = float __attribute__((vector_size(16)));

// The signed correlations of the first pulses' responses with the second
// pulses' (kSecondPlacesTried of them at most), a row at a time, the second
// pulses' responses laid out across, so that each step of a row takes all of
// them at once.
void pair_correlations(const float (*g)[kSubframe], const SearchTerms& t, const TrackPlaces& one,
                       const TrackPlaces& two, PairTerms& pt) {
  static_assert(kSecondPlacesTried == 8);
  float across[kSubframe][8] = {};
  for (int n = 0; n < kSubframe; ++n)
    for (int b = 0; b < two.count; ++b) across[n][b] = g[two.pos[two.use[b]]][n];
  Float4 lanes[kSubframe][2];
  std::memcpy(lanes, across, sizeof lanes);
  for (int a = 0; a < one.count; ++a) {
    const int i = one.pos[one.use[a]];
    Float4 low = {}, high = {};
    for (int n = 0; n < kSubframe; ++n) {
      low += g[i][n] * lanes[n][0];
      high += g[i][n] * lanes[n][1];
    }
    float row[8];
    std::memcpy(row, &low, sizeof low);
    std::memcpy(row + 4, &high, sizeof high);
    for (int b = 0; b < two.count; ++b) {
      const int j = two.pos[two.use[b]];
      pt.cross[a][b] = row[b] * t.sign[i] * t.sign[j];
    }
  }
}

}  // namespace

int search_two_pulses_responses(const float* x, const float (*g)[kSubframe], bool reduced,
                                PulseFields* out, int max_out) {
  int p1[16], p2[32], n1, n2;
  if (reduced) {
    n1 = n2 = 8;
    reduced_grid(p1, p2);
  } else {
    n1 = 16;
    n2 = 32;
    std::copy(celp::trackTable0, celp::trackTable0 + 16, p1);
    std::copy(celp::trackTable1, celp::trackTable1 + 32, p2);
  }
  // Only the terms of the grid's places (on the full grid: every place) and
  // pairs.
  SearchTerms t;
  const auto correlate = [&](int p) {
    const float c = dot(x, g[p], kSubframe);
    t.sign[p] = c >= 0.0f ? 1.0f : -1.0f;
    t.d[p] = std::fabs(c);
  };
  if (reduced) {
    for (int k = 0; k < 8; ++k) {
      correlate(p1[k]);
      correlate(p2[k]);
    }
  } else {
    for (int p = 0; p < kSubframe; ++p) correlate(p);
  }
  // On the full grid only the pairs of the places that correlate best with the
  // target are worth it, and only those pairs are searched.
  const TrackPlaces one = strongest_places(t, p1, n1, kFirstPlacesTried);
  const TrackPlaces two = strongest_places(t, p2, n2, kSecondPlacesTried);
  // The pulses' energies only at the places searched.
  PairTerms pt;
  for (int a = 0; a < one.count; ++a) {
    const float* gi = g[one.pos[one.use[a]]];
    pt.energy1[a] = dot(gi, gi, kSubframe);
  }
  for (int b = 0; b < two.count; ++b) {
    const float* gj = g[two.pos[two.use[b]]];
    pt.energy2[b] = dot(gj, gj, kSubframe);
  }
  pair_correlations(g, t, one, two, pt);
  if (reduced) return pick_reduced_grid_pairs(t, pt, out, max_out);
  return pick_full_grid_pairs(t, pt, one, two, out, max_out);
}

}  // namespace encoder
