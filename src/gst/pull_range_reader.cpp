#include "pull_range_reader.h"

#include <cstdio>

const vf_io PullRangeReader::kCallbacks = {
    [](void* buffer, size_t size, void* user) {
      return static_cast<PullRangeReader*>(user)->read(buffer, size);
    },
    [](int64_t offset, int whence, void* user) {
      return static_cast<PullRangeReader*>(user)->seek(offset, whence);
    },
    [](void* user) -> int64_t { return static_cast<PullRangeReader*>(user)->offset_; },
    [](void* user) { return static_cast<PullRangeReader*>(user)->length(); },
};

int64_t PullRangeReader::read(void* buffer, size_t size) {
  if (size == 0) return 0;
  GstBuffer* pulled = nullptr;
  const GstFlowReturn flow =
      gst_pad_pull_range(pad_, static_cast<guint64>(offset_), static_cast<guint>(size), &pulled);
  if (flow == GST_FLOW_EOS) return 0;
  if (flow != GST_FLOW_OK) {
    last_failure_ = flow;
    return -1;
  }
  // Upstream may give fewer bytes than asked for at the end, never more.
  const gsize got = gst_buffer_extract(pulled, 0, buffer, size);
  gst_buffer_unref(pulled);
  offset_ += static_cast<int64_t>(got);
  return static_cast<int64_t>(got);
}

int64_t PullRangeReader::seek(int64_t offset, int whence) {
  int64_t base = 0;
  if (whence == SEEK_CUR) base = offset_;
  if (whence == SEEK_END) {
    base = length();
    if (base < 0) return -1;
  }
  if (base + offset < 0) return -1;
  offset_ = base + offset;
  return offset_;
}

int64_t PullRangeReader::length() {
  gint64 bytes = -1;
  if (length_ < 0 && gst_pad_peer_query_duration(pad_, GST_FORMAT_BYTES, &bytes)) length_ = bytes;
  return length_;
}
