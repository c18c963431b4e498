#!/usr/bin/env bash
# Starts the player built in BUILD_DIR. On a desktop it simply opens. On a
# machine without a display (a server, a container, a terminal session) it
# plays the recording once with no window (the player's --play, on Qt's
# offscreen platform) and ends, so that the recording is still heard; the
# player's messages then go to standard error, and its exit status is the
# script's (0: played to its end).
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
# card, or into a null sink where there is none). A server that does not
# answer within seconds counts as none.
if command -v pactl >/dev/null && ! timeout 5 pactl info >/dev/null 2>&1; then
  pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1 || true
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$player"
fi

recording=$(sed -n 's/^VOICE_RECORDING:FILEPATH=//p' "$build/CMakeCache.txt")
# vocinfo exits 1 for a damaged recording, which the player still plays up to
# the damage.
seconds=$({ "$build/bin/vocinfo" "$recording" || true; } | sed -n 's/.*(\([0-9]*\) s).*/\1/p' | head -n 1)
# The recording's length plus time to start and to reach the sound server.
bound=$((${seconds:-60} + 10))
echo "No display: the player plays its ${seconds:-?} s recording once, without a window, and ends (at most ${bound} s)."
# --foreground keeps the player in this script's process group, so that a
# Ctrl-C, or whoever stops this script's group, reaches it too.
status=0
timeout --foreground --kill-after=5 "$bound" "$player" --play || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "$0: the player had not ended after ${bound} s and was stopped" >&2
  exit 1
fi
exit "$status"
