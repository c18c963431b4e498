// Pieces the command-line tools share: usage handling (tools/usage.h) and
// opening a voice file on a decoder state of the tool's own.
#pragma once

#include <cstdio>
#include <memory>
#include <span>
#include <string_view>

#include "tools/usage.h"
#include "voice/decoder_state.h"

namespace tools {

// A decoder state of its own per file, so that one file's latched status or
// open handle never leaks into the next. Heap-allocated: the state carries
// the decoder's working memories and is not meant for the stack.
struct OpenedVoice {
  std::unique_ptr<voice::DecoderState> state;
  StatusCode status = status::kSuccess;  // of the open; the state is unusable unless 0
  int mode = -1;

  bool ok() const { return status == status::kSuccess; }
  // The text of `code`, formatted against this state (some texts print its fields).
  const char* text(StatusCode code) const;
};

OpenedVoice open_voice(const char* path);

}  // namespace tools
