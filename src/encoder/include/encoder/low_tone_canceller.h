// Finds steady tones under the speech band (mains hum at 50 or 60 Hz, a
// 10 to 40 Hz tone from a fan or a ground loop) and subtracts them. The
// pre-filter boosts such low frequencies to undo the decoder's output
// filter, so a tone there would take the bits the speech needs and could
// drive the synthesis into saturation. A high-pass cannot remove them
// without turning the phase of the speech above it (and the waveform match
// with it); a notch a few hertz wide at each tone found takes the tone out
// and leaves everything else nearly as it was.
#pragma once

#include <array>
#include <complex>

namespace encoder {

class LowToneCanceller {
 public:
  LowToneCanceller();
  // One sample in, the same sample less the tones being tracked out.
  double Run(double x);

 private:
  static constexpr int kDecimation = 20;  // detection runs at 400 Hz
  static constexpr int kBins = 115;       // 8 to 65 Hz in 0.5 Hz steps
  static constexpr int kSlots = 3;        // tones removed at once

  struct Tracker {
    double hz = 0;
    double c = 0;  // 2 cos of the tone's angular frequency
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double weight = 0;  // ramps to 1 once found, back to 0 once gone
    bool found = false;
  };

  void Decimate(double x);
  void ChooseTones();

  // Detection: a low-pass before decimation, and a bank of narrow
  // integrators of the decimated signal at each candidate frequency.
  double lp1_ = 0, lp2_ = 0;
  int count_ = 0, decimated_ = 0;
  std::array<std::complex<double>, kBins> bank_, bank_step_, bank_phasor_;
  std::array<Tracker, kSlots> trackers_;
};

}  // namespace encoder
