#include "app/sink_volume.h"

namespace app {

float SinkVolumeFor(uint32_t deviceVolume) {
  return static_cast<float>(deviceVolume & 0xFFFFu) / 65535.0f;
}

}  // namespace app
