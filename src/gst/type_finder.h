// Recognises voice files by their content for GStreamer's type finding.
#pragma once

#include <gst/gst.h>

// Caps of a voice file: "audio/x-voicefile, mode=(string)celp80" and so on.
inline constexpr const char* kVoicefileMediaType = "audio/x-voicefile";

gboolean voicefile_type_finder_register(GstPlugin* plugin);
