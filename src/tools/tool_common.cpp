#include "tools/tool_common.h"

#include "voice/vdec.h"

namespace tools {

const char* OpenedVoice::text(StatusCode code) const {
  return vdec_status_text(*state, code);
}

OpenedVoice open_voice(const char* path) {
  OpenedVoice v;
  v.state = std::make_unique<voice::DecoderState>();
  v.status = vdec_open(*v.state, path, &v.mode);
  return v;
}

}  // namespace tools
