#include "app/wave_feed.h"

namespace app {

WaveFeed::WaveFeed(WaveQueue& queue) : queue_(queue) {
  open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 WaveFeed::bytesAvailable() const {
  return static_cast<qint64>(queue_.written() - queue_.taken()) + QIODevice::bytesAvailable();
}

qint64 WaveFeed::readData(char* data, qint64 maxSize) {
  return static_cast<qint64>(
      queue_.Take(reinterpret_cast<uint8_t*>(data), static_cast<size_t>(maxSize)));
}

qint64 WaveFeed::writeData(const char* /*data*/, qint64 /*maxSize*/) {
  return -1;  // read-only
}

}  // namespace app
