#!/usr/bin/env bash
# Starts the player built in BUILD_DIR. On a desktop it simply opens. On a
# machine without a display (a server, a container, a terminal session) it
# runs on a virtual display instead, presses Play itself and closes the
# player when the recording has ended, so that the recording is still heard.
# Usage: scripts/run-player.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
player=$build/bin/$(sed -n 's/^VOICE_PLAYER_NAME:STRING=//p' "$build/CMakeCache.txt")
if [ ! -x "$player" ]; then
  echo "$0: no player in $build/bin; run 'make build' first" >&2
  exit 1
fi

# The player plays through the user's sound server. A fresh machine may have
# none running: start one for this user (it plays on the machine's sound
# card, or into a null sink where there is none).
if command -v pactl >/dev/null && ! pactl info >/dev/null 2>&1; then
  pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1 || true
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$player"
fi

recording=$(sed -n 's/^VOICE_RECORDING:FILEPATH=//p' "$build/CMakeCache.txt")
seconds=$("$build/bin/vocinfo" "$recording" | sed -n 's/.*(\([0-9]*\) s).*/\1/p' | head -n 1)
echo "No display: the player runs on a virtual display (Xvfb), presses Play itself and closes after the ${seconds:-?} s recording."
export PLAYER="$player" SECONDS_TO_PLAY="${seconds:-10}"
xvfb-run -a bash -c '
  "$PLAYER" &
  pid=$!
  window=$(xdotool search --sync --name "Vantor Digital Voice Player" | head -n 1)
  xdotool windowfocus --sync "$window" key Return
  sleep $((SECONDS_TO_PLAY + 1))
  xdotool windowfocus --sync "$window" key Escape
  wait "$pid"
'
