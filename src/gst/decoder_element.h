// voicefiledec: decodes voice files to 8000 Hz mono audio for GStreamer.
#pragma once

#include <gst/gst.h>

G_BEGIN_DECLS
#define VOICEFILE_TYPE_DEC (voicefile_dec_get_type())
G_DECLARE_FINAL_TYPE(VoicefileDec, voicefile_dec, VOICEFILE, DEC, GstElement)
G_END_DECLS

// Registers the element at rank primary, so that decodebin and playbin
// choose it for audio/x-voicefile.
gboolean voicefile_dec_register(GstPlugin* plugin);
