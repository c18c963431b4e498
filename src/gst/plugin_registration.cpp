// The plugin "voicefile": what GStreamer finds in libgstvoicefile.so.
#include <gst/gst.h>

// The package GST_PLUGIN_DEFINE names the plugin after.
#define PACKAGE "voiceplayer"

#include "decoder_element.h"
#include "type_finder.h"

static gboolean register_features(GstPlugin* plugin) {
  return voicefile_type_finder_register(plugin) && voicefile_dec_register(plugin);
}

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, voicefile,
                  "Voice files (Celp56, Celp64, Celp80, Adpcm40): type finder and decoder",
                  register_features, VOICEFILE_GST_VERSION, "MIT", "voiceplayer", "voiceplayer")
