// A voice file on disk together with a decoder state that has opened it.
#pragma once

#include <gtest/gtest.h>

#include "support/voice_file_builder.h"
#include "voice/frame_reader.h"
#include "voice/vdec.h"

namespace testing_support {

struct OpenedVoice {
  explicit OpenedVoice(const VoiceFileBuilder& builder) : file(builder.bytes()) {
    int mode = -1;
    open_result = vdec_open(st, file.c_str(), &mode);
  }
  // Stands at the first playable frame.
  StatusCode rewind() { return vdec_restart_at(st, file.c_str(), 0); }
  Bytes frame() const { return Bytes(st.frame, st.frame + st.frame_bytes); }

  TempFile file;
  voice::DecoderState st;
  StatusCode open_result = 0;
};

}  // namespace testing_support
