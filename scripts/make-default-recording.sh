#!/usr/bin/env bash
# Makes samples/message.voc, the recording the player carries unless the
# build is pointed at another: a short spoken welcome, synthesised with
# espeak-ng and encoded with vocenc. Run by hand when the message or the mode
# changes, and commit the result; the build itself needs neither espeak-ng nor
# this script.
#
#   scripts/make-default-recording.sh            # vocenc from build/bin
#   VOCENC=/path/to/vocenc scripts/make-default-recording.sh
set -euo pipefail

# The coding mode of the recording: celp56, celp64, celp80 or adpcm40.
MODE=celp56
# A clear voice at an unhurried pace.
VOICE=en-us
SPEED=150
TEXT="Welcome to Vantor Digital Voice Player. This message is played from inside the program. \
Enjoy listening."

root=$(cd "$(dirname "$0")/.." && pwd)
vocenc=${VOCENC:-$root/build/bin/vocenc}
if [ ! -x "$vocenc" ]; then
  echo "make-default-recording: no vocenc at $vocenc: run 'make build' or set VOCENC" >&2
  exit 1
fi
command -v espeak-ng >/dev/null || {
  echo "make-default-recording: espeak-ng is needed (apt-get install espeak-ng)" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
espeak-ng -v "$VOICE" -s "$SPEED" -w "$work/message.wav" "$TEXT"
"$vocenc" --mode "$MODE" "$work/message.wav" "$root/samples/message.voc"
echo "samples/message.voc: $MODE, from $(basename "$vocenc") at $vocenc"
