#!/usr/bin/env bash
# Installs the Debian package `make deb` made into this machine, runs what it
# installed, and removes it again: every file and directory it brought must
# be gone afterwards. Run as root (CI does it after `make test`); it refuses
# to replace a package of the same name that is already installed.
# Usage: scripts/check-deb.sh BUILD_DIR
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
debs=("$build"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "no single .deb in $build" >&2; exit 1; }
deb=${debs[0]}
package=$(dpkg-deb --field "$deb" Package)
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
  echo "$package is already installed here; not touching it" >&2
  exit 1
fi
listing=$(mktemp)
installed=false
# A failed check still removes the package.
trap 'rm -f "$listing"; if $installed; then dpkg --purge "$package" >/dev/null; fi' EXIT
# What the package holds, and which of its directories exist before.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$' >"$listing"
mapfile -t existed < <(while read -r path; do [ -e "$path" ] && echo "$path"; done <"$listing")

echo "== dpkg -i $deb"
installed=true
dpkg -i "$deb"
# The player is named as the package is.
"$package" --version
vocinfo "$here/samples/sample.voc"
# GStreamer finds the plugin in its own plugin folder and decodes with it.
registry=$(mktemp -d)
GST_REGISTRY=$registry/registry.bin gst-inspect-1.0 voicefile | grep -q voicefiledec
GST_REGISTRY=$registry/registry.bin gst-launch-1.0 -q filesrc location="$here/samples/sample.voc" \
  ! decodebin ! fakesink
rm -r "$registry"
# The triggers of shared-mime-info and desktop-file-utils have run: a file
# manager (GIO) sees our type, the older *.voc format's type, and the player.
older=$(mktemp -d)/older.voc
sox -n -r 8000 "$older" synth 1 sine 440
for file in "$here/samples/sample.voc" "$older"; do
  echo "xdg-mime query filetype $(basename "$file"): $(XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$file")"
done
[ "$(XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$here/samples/sample.voc")" = audio/x-voicefile ]
[ "$(XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$older")" = audio/x-voc ]
[ "$(xdg-mime query default audio/x-voicefile)" = "$package.desktop" ]
rm -r "$(dirname "$older")"
# The installed (stripped) player packs a message: its image, the recording
# and the 32-byte trailer, nothing else.
message=$(mktemp -d)/message
"$package" --pack "$here/samples/sample.voc" "$message"
expected=$(($(stat -c %s "/usr/bin/$package") + $(stat -c %s "$here/samples/sample.voc") + 32))
echo "a message packed by the installed player: $(stat -c %s "$message") bytes"
[ "$(stat -c %s "$message")" -eq "$expected" ] || { echo "expected $expected bytes" >&2; exit 1; }
rm -r "$(dirname "$message")"

echo "== dpkg --purge $package"
dpkg --purge "$package"
installed=false
left=$(while read -r path; do
  [ -e "$path" ] && ! printf '%s\n' "${existed[@]}" | grep -qxF "$path" && echo "$path"
done <"$listing" || true)
if [ -n "$left" ]; then
  echo "left behind after removing $package:" >&2
  echo "$left" >&2
  exit 1
fi
echo "$package installed, ran and was removed without a trace"
