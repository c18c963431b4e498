// Where a point on the position slider puts its thumb: the pointer stands for
// the thumb's centre, so a press anywhere along the slider moves the thumb
// straight there instead of paging towards it.
#pragma once

#include <optional>

namespace app {

// What the position computation reads from the slider, in pixels of the
// slider's client area.
struct SeekGeometry {
  int min = 0;
  int max = 0;
  int clientWidth = 0;
  int channelWidth = 0;  // the groove the thumb runs in
  int thumbWidth = 0;
  int thumbHeight = 0;
};

// The position under (x, y), or none when the point lies outside the band
// the thumb's height spans from the top of the slider. Positions beyond max
// are left to the slider, which clamps them when they are set.
std::optional<int> PositionUnderPointer(const SeekGeometry& g, int x, int y);

}  // namespace app
