#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need.
# Idempotent: prints nothing and changes nothing when everything is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang-14 libclang-rt-14-dev clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libsoxr-dev
  # The manual pages: built with scdoc, checked by rendering them with man.
  scdoc man-db groff-base
  # The player: Qt 6 Widgets, the platform plugins (offscreen for the tests,
  # xcb for the desktop), a font, the sound server's client library, a
  # virtual display for machines without one, and a sound server for the
  # end-to-end test; a session bus and an MPRIS client for the media-key test.
  qt6-base-dev qt6-qpa-plugins fonts-dejavu-core libpulse-dev
  xvfb xauth xdotool pulseaudio pulseaudio-utils
  # The desktop files: the icon's rendering, the metadata's and the desktop
  # entry's validators, the MIME database and xdg-mime (asking GIO) for
  # their test, sox for a file of the older *.voc format, and dpkg-dev for
  # the Debian package's dependencies.
  librsvg2-bin appstream desktop-file-utils shared-mime-info xdg-utils libglib2.0-bin
  sox dpkg-dev
  # The GStreamer plugin, and GStreamer's own programs and plugins that its
  # tests run it in (gst-discoverer-1.0 and gst-play-1.0 are in -base-apps).
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-base-apps gstreamer1.0-plugins-good
  gstreamer1.0-pulseaudio
  playerctl dbus
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
