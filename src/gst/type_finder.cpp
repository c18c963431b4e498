#include "type_finder.h"

#include <voicefile/voicefile.h>

#include <cstring>

namespace {

constexpr char kSignature[] = "ZKT790_VOC_File";
constexpr size_t kSignatureBytes = sizeof kSignature - 1;
// The coding mode is the low nibble of this byte.
constexpr size_t kModeByte = 26;

// "celp56" for VF_MODE_CELP56 and so on; null for a value that is no mode.
GstCaps* caps_for_mode(int mode) {
  const char* name = vf_mode_name(mode);
  if (!name) return nullptr;
  gchar* lower = g_ascii_strdown(name, -1);
  GstCaps* caps = gst_caps_new_simple(kVoicefileMediaType, "mode", G_TYPE_STRING, lower, nullptr);
  g_free(lower);
  return caps;
}

void find_voicefile(GstTypeFind* find, gpointer) {
  const guint8* head = gst_type_find_peek(find, 0, kModeByte + 1);
  if (!head || std::memcmp(head, kSignature, kSignatureBytes) != 0) return;
  GstCaps* caps = caps_for_mode(head[kModeByte] & 0x0f);
  if (!caps) return;
  gst_type_find_suggest(find, GST_TYPE_FIND_MAXIMUM, caps);
  gst_caps_unref(caps);
}

}  // namespace

// No file name extensions: ".voc" belongs to another format too, and an
// extension listed here would let GStreamer name the type from it alone.
gboolean voicefile_type_finder_register(GstPlugin* plugin) {
  GstCaps* possible = gst_caps_new_empty_simple(kVoicefileMediaType);
  const gboolean registered =
      gst_type_find_register(plugin, kVoicefileMediaType, GST_RANK_PRIMARY, find_voicefile, nullptr,
                             possible, nullptr, nullptr);
  gst_caps_unref(possible);
  return registered;
}
