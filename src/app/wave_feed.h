// The audio sink's source in pull mode: it serves the bytes of the queued
// buffers as the sink asks for them, and nothing when the queue is drained,
// so that the sink plays out what it holds and then waits for more.
#pragma once

#include <QIODevice>

#include "app/wave_queue.h"

namespace app {

class WaveFeed : public QIODevice {
 public:
  explicit WaveFeed(WaveQueue& queue);

  // Tells the sink that bytes were queued: a sink that drained the feed
  // stops asking for more until it hears so.
  void AnnounceQueued() { emit readyRead(); }

  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override;

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* data, qint64 maxSize) override;

 private:
  WaveQueue& queue_;
};

}  // namespace app
