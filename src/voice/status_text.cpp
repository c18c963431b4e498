#include <cstdio>

#include "voice/vdec.h"

const char* vdec_status_text(voice::DecoderState& st, StatusCode code) {
  switch (code) {
    case status::kSuccess:
      return "Successful";
    case status::kEndOfFile:
      return "End of file error";
    case status::kDecodingFail:
      return "Decoding fail";
    case status::kFrameErased:
      std::snprintf(st.text, sizeof st.text, "Frame Erased: %ld",
                    static_cast<long>(static_cast<int32_t>(st.celp_frames_decoded)));
      return st.text;
    case status::kBadFrameType:
      std::snprintf(st.text, sizeof st.text, "Unrecognized frame type: uncorrect value of %ld",
                    static_cast<long>(st.frame_bits));
      return st.text;
    case status::kBadJumpLength:
      return "Error Jump length < 0";
    case status::kOpenFailed:
      return "Error opening file!!";
    case status::kBadFileFormat:
      return "Bad file format";
    case status::kBadPitchIndex:
      return "Error Pitch index";
    case status::kTruncation:
      return "Error in truncation";
    case status::kDivisionError:
      std::snprintf(st.text, sizeof st.text, "%06d: Division Error", st.position);
      return st.text;
    case status::kDivisionByZero:
      return "Division by 0, Fatal error";
    case status::kBackwardSeekFailed:
      return "Error backward search!";
    case status::kForwardSeekFailed:
      return "Error forward search!";
    case status::kCannotEndFile:
      return "Error cannot end file!";
    case status::kNoFrames:
      return "Framesize is negative value";
    case status::kAlreadyTerminated:
      return "Already terminated";
    default:
      return "System error";
  }
}
