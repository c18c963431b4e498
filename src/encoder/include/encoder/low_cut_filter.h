// A Butterworth high-pass (or low-pass) as a cascade of second-order
// sections, run in place. A copy carries the filter's memory, so a trial run
// on a copy leaves the original as it was.
#pragma once

#include <vector>

namespace encoder {

class LowCutFilter {
 public:
  enum Kind { kHighPass, kLowPass };
  // order: even; cutoff_hz at 8000 Hz sampling.
  LowCutFilter(double cutoff_hz, int order, Kind kind = kHighPass);
  void Run(float* x, int lg);
  // One sample, for filters run a sample at a time.
  double Step(double x);

 private:
  struct Section {
    double b0, b1, a1, a2;  // b2 == b0
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };
  std::vector<Section> sections_;
};

}  // namespace encoder
