#include "encoder/low_tone_canceller.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace encoder {
namespace {

constexpr double kRate = 8000.0;
constexpr double kLowestHz = 8.0, kBinHz = 0.5;
// Integrators' leak: about 0.25 s at either rate, so that a tone must hold
// for a good part of a second and a voiced sound, which glides, does not.
constexpr double kBankLeak = 1.0 / 60.0;
// The notches' pole radius: 3 dB down about 5 Hz either side of the tone.
constexpr double kNotchPole = 0.996;
constexpr double kLineOverNeighbours = 10.0;  // power ratio that makes a line
constexpr double kQuietestTone = 12.0;        // amplitude, about -69 dBFS
constexpr int kChooseEvery = 8;               // decimated samples: 20 ms
constexpr double kWeightStep = 1.0 / 160.0;   // fade in or out over 20 ms

std::complex<double> rotation(double hz, double rate) {
  return std::polar(1.0, 2 * std::numbers::pi * hz / rate);
}

}  // namespace

LowToneCanceller::LowToneCanceller() {
  for (int b = 0; b < kBins; ++b) {
    bank_step_[b] = rotation(kLowestHz + kBinHz * b, kRate / kDecimation);
    bank_phasor_[b] = 1.0;
  }
}

double LowToneCanceller::Run(double x) {
  Decimate(x);
  double y = x;
  for (Tracker& t : trackers_) {
    t.weight = std::clamp(t.weight + (t.found ? kWeightStep : -kWeightStep), 0.0, 1.0);
    if (t.weight == 0.0 && !t.found) continue;
    // Zeros on the unit circle at the tone, poles just inside them.
    const double notched =
        x - t.c * t.x1 + t.x2 + kNotchPole * t.c * t.y1 - kNotchPole * kNotchPole * t.y2;
    t.x2 = t.x1;
    t.x1 = x;
    t.y2 = t.y1;
    t.y1 = notched;
    y -= t.weight * (x - notched);
  }
  return y;
}

void LowToneCanceller::Decimate(double x) {
  // Two one-pole low-passes at about 80 Hz keep speech out of the bank.
  constexpr double kPole = 0.94;
  lp1_ = kPole * lp1_ + (1 - kPole) * x;
  lp2_ = kPole * lp2_ + (1 - kPole) * lp1_;
  if (++count_ < kDecimation) return;
  count_ = 0;
  // Written out: std::complex's product checks for infinities at every step.
  for (int b = 0; b < kBins; ++b) {
    const double pr = bank_phasor_[b].real(), pi = bank_phasor_[b].imag();
    const double sr = bank_step_[b].real(), si = bank_step_[b].imag();
    const double br = bank_[b].real(), bi = bank_[b].imag();
    bank_[b] = {br + kBankLeak * (lp2_ * pr - br), bi + kBankLeak * (-lp2_ * pi - bi)};
    bank_phasor_[b] = {pr * sr - pi * si, pr * si + pi * sr};
  }
  if (++decimated_ % kChooseEvery == 0) {
    for (auto& p : bank_phasor_) p /= std::abs(p);
    ChooseTones();
  }
}

void LowToneCanceller::ChooseTones() {
  // Lines: bins stronger than both neighbours and well above the bins 3 to
  // 6 Hz either side, where a steady tone has spread nothing.
  std::array<double, kBins> power;
  for (int b = 0; b < kBins; ++b) power[b] = std::norm(bank_[b]);
  struct Line {
    double hz, power;
  };
  std::array<Line, kSlots> lines{};
  int found = 0;
  const int near = static_cast<int>(3 / kBinHz), far = static_cast<int>(6 / kBinHz);
  for (int b = 1; b + 1 < kBins; ++b) {
    if (power[b] < power[b - 1] || power[b] < power[b + 1]) continue;
    double around = 0;
    int n = 0;
    for (int d = near; d <= far; ++d) {
      if (b - d >= 0) around += power[b - d], ++n;
      if (b + d < kBins) around += power[b + d], ++n;
    }
    // The low-pass before the bank lets through about half at 65 Hz; the
    // amplitude test is loose enough for that.
    if (power[b] < kLineOverNeighbours * around / n || 2 * std::sqrt(power[b]) < kQuietestTone)
      continue;
    const Line line{kLowestHz + kBinHz * b, power[b]};
    if (found < kSlots) {
      lines[found++] = line;
    } else {
      auto weakest = std::min_element(lines.begin(), lines.end(), [](const Line& a, const Line& c) {
        return a.power < c.power;
      });
      if (weakest->power < line.power) *weakest = line;
    }
  }
  // Keep the trackers already on a line; free the others; start new ones.
  for (Tracker& t : trackers_) {
    const bool still = std::any_of(lines.begin(), lines.begin() + found,
                                   [&](const Line& l) { return l.hz == t.hz; });
    if (t.found && !still) t.found = false;
  }
  for (int i = 0; i < found; ++i) {
    const bool tracked = std::any_of(trackers_.begin(), trackers_.end(), [&](const Tracker& t) {
      return t.found && t.hz == lines[i].hz;
    });
    if (tracked) continue;
    for (Tracker& t : trackers_) {
      if (t.found || t.weight > 0) continue;
      t = Tracker{};
      t.hz = lines[i].hz;
      t.c = 2 * std::cos(2 * std::numbers::pi * t.hz / kRate);
      t.found = true;
      break;
    }
  }
}

}  // namespace encoder
