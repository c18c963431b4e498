#include "app/seek_position.h"

#include <cstdint>

namespace app {

std::optional<int> PositionUnderPointer(const SeekGeometry& g, int x, int y) {
  if (y > g.thumbHeight || y < 0) return std::nullopt;
  if (g.channelWidth <= 0) return std::nullopt;
  const int margin = (g.clientWidth - g.channelWidth) / 2;
  // The half-margin correction applies on the left half of the channel only,
  // which makes a small jump at its middle; the slider has always done so.
  int p = x < g.channelWidth / 2 ? x - margin / 2 : x;
  p *= 10;  // tenths of a pixel
  p -= static_cast<int>(g.thumbWidth / 2.0 * 10.0);
  if (p < 0) p = 0;
  // 64 bits: the product outgrows 32 only for sliders wider than any screen,
  // and below that the result is the same.
  const int64_t v = static_cast<int64_t>(g.max - g.min + 1) * p / g.channelWidth;
  return static_cast<int>(static_cast<double>(v) / 10.0);
}

}  // namespace app
