#include "encoder/lsp_conversion.h"

#include <cmath>
#include <numbers>

namespace encoder {
namespace {

constexpr int kGrid = 128;
constexpr int kHalvings = 8;

// cos(pi j / kGrid), j = 0 .. kGrid: the search grid, evenly spaced in
// frequency.
struct Grid {
  double x[kGrid + 1];
  Grid() {
    for (int j = 0; j <= kGrid; ++j) x[j] = std::cos(std::numbers::pi * j / kGrid);
  }
};

// Sum and difference polynomials of A(z), with the trivial roots at z = -1
// and z = 1 divided out; both are symmetric of order 5 in cos(w).
void sum_difference(const float a[11], double f1[6], double f2[6]) {
  f1[0] = 1.0;
  f2[0] = 1.0;
  for (int i = 0; i < 5; ++i) {
    f1[i + 1] = a[i + 1] + a[10 - i] - f1[i];
    f2[i + 1] = a[i + 1] - a[10 - i] + f2[i];
  }
}

// C(x) = T5(x) + f1 T4(x) + f2 T3(x) + f3 T2(x) + f4 T1(x) + f5 / 2
// (Clenshaw), proportional to the polynomial on the unit circle at x = cos w.
double chebyshev(double x, const double f[6]) {
  double b1 = 0.0, b2 = 0.0;
  const double coef[5] = {1.0, f[1], f[2], f[3], f[4]};
  for (double c : coef) {
    const double b0 = 2.0 * x * b1 - b2 + c;
    b2 = b1;
    b1 = b0;
  }
  return x * b1 - b2 + 0.5 * f[5];
}

}  // namespace

bool lp_to_lsp(const float a[11], float lsp[10]) {
  double f[2][6];
  sum_difference(a, f[0], f[1]);
  // The roots of the two polynomials interlace: search them alternately
  // along a grid from w = 0 to pi, refining each sign change by bisection.
  static const Grid grid;
  float found[10];
  int n = 0;
  int poly = 0;
  int j = 1;
  double x_lo = 1.0;
  double y_lo = chebyshev(x_lo, f[poly]);
  while (n < 10 && j <= kGrid) {
    const double x_hi = grid.x[j];
    const double y_hi = chebyshev(x_hi, f[poly]);
    if ((y_lo <= 0.0) == (y_hi <= 0.0)) {
      x_lo = x_hi;
      y_lo = y_hi;
      ++j;
      continue;
    }
    // A few halvings leave a cell so narrow that the polynomial is a
    // straight line in it to well within a float's precision.
    double lo = x_lo, hi = x_hi, ylo = y_lo, yhi = y_hi;
    for (int it = 0; it < kHalvings; ++it) {
      const double mid = 0.5 * (lo + hi);
      const double ym = chebyshev(mid, f[poly]);
      if ((ym <= 0.0) == (ylo <= 0.0)) {
        lo = mid;
        ylo = ym;
      } else {
        hi = mid;
        yhi = ym;
      }
    }
    // The other polynomial's next root lies beyond this one, possibly in
    // the same grid cell: resume from the root itself.
    const double root = ylo == yhi ? 0.5 * (lo + hi) : lo + (hi - lo) * ylo / (ylo - yhi);
    found[n++] = static_cast<float>(root);
    poly ^= 1;
    x_lo = root;
    y_lo = chebyshev(x_lo, f[poly]);
  }
  if (n < 10) return false;
  for (int i = 0; i < 10; ++i) lsp[i] = found[i];
  return true;
}

void lsp_to_lp(const float lsp[10], float a[11]) {
  double f[2][6];
  for (int p = 0; p < 2; ++p) {
    double* g = f[p];
    g[0] = 1.0;
    g[1] = -2.0 * lsp[p];
    for (int i = 2; i <= 5; ++i) {
      const double b = -2.0 * lsp[p + 2 * (i - 1)];
      g[i] = b * g[i - 1] + 2.0 * g[i - 2];
      for (int j = i - 1; j >= 2; --j) g[j] += b * g[j - 1] + g[j - 2];
      g[1] += b;
    }
  }
  for (int i = 5; i >= 1; --i) {
    f[0][i] += f[0][i - 1];
    f[1][i] -= f[1][i - 1];
  }
  a[0] = 1.0f;
  for (int i = 1; i <= 5; ++i) {
    a[i] = static_cast<float>(0.5 * (f[0][i] + f[1][i]));
    a[11 - i] = static_cast<float>(0.5 * (f[0][i] - f[1][i]));
  }
}

}  // namespace encoder
