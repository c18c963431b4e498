#!/usr/bin/env bash
# The installed desktop files as a desktop session finds them: the caches the
# packaging's triggers build are made in the prefix, and the XDG variables
# point there and nowhere else the machine's setup could answer from.
# xdg-mime asks GIO, as a file manager does (XDG_CURRENT_DESKTOP=GNOME).
# Usage: desktop_integration_test.sh PREFIX PLAYER_NAME VOICE_FILE
set -uo pipefail
prefix=$1 name=$2 voice_file=$3
share=$prefix/share
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

export XDG_DATA_DIRS=$share:/usr/share XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export XDG_CONFIG_DIRS=$work/etc HOME=$work XDG_CURRENT_DESKTOP=GNOME
update-mime-database "$share/mime" || fail "update-mime-database"
update-desktop-database "$share/applications" || fail "update-desktop-database"

# expect WHAT EXPECTED COMMAND...
expect() {
  local what=$1 expected=$2 got
  shift 2
  got=$("$@" 2>&1)
  [ "$got" = "$expected" ] || fail "$what: '$got', expected '$expected'"
  echo "$what: $got"
}

cp "$voice_file" "$work/ours.voc"
sox -n -r 8000 "$work/old.voc" synth 1 sine 440 || fail "sox"
expect "our voice file" audio/x-voicefile xdg-mime query filetype "$work/ours.voc"
expect "the older format's file" audio/x-voc xdg-mime query filetype "$work/old.voc"
expect "application for audio/x-voicefile" "$name.desktop" \
  xdg-mime query default audio/x-voicefile

# Every rendered icon has its size (width and height from the PNG header).
for size in 16 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x$size/apps/$name.png
  dims=$(od -An -j16 -N8 --endian=big -tu4 "$png" | xargs)
  [ "$dims" = "$size $size" ] || fail "icon $size: '$dims'"
done
[ -s "$share/icons/hicolor/scalable/apps/$name.svg" ] || fail "no scalable icon"

exit $((failures > 0))
