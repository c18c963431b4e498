// The library's input callbacks over a sink pad in pull mode: the decoder
// reads the file where it likes through gst_pad_pull_range.
#pragma once

#include <gst/gst.h>
#include <voicefile/voicefile.h>

#include <cstdint>

class PullRangeReader {
 public:
  explicit PullRangeReader(GstPad* sinkpad) : pad_(sinkpad) {}

  // For vf_decoder_open_callbacks, with this object as the user pointer.
  static const vf_io kCallbacks;

  // The flow of the last pull that failed: GST_FLOW_FLUSHING when the pad
  // was being shut down rather than the file being unreadable.
  GstFlowReturn last_failure() const { return last_failure_; }

 private:
  int64_t read(void* buffer, size_t size);
  int64_t seek(int64_t offset, int whence);
  int64_t length();

  GstPad* pad_;
  int64_t offset_ = 0;
  int64_t length_ = -1;  // asked upstream when first needed
  GstFlowReturn last_failure_ = GST_FLOW_OK;
};
