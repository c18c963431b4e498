#!/bin/bash
# decodebin with the plugin decodes a voice file of every coding mode to
# exactly what vocdec --raw writes. The committed samples are Celp56 and
# Adpcm40; Celp64 and Celp80 files are encoded here from committed speech.
# usage: decode_like_vocdec_test.sh VOCDEC VOCENC SPEECH_WAV SAMPLE...
set -euo pipefail
vocdec=$1 vocenc=$2 speech=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for mode in celp64 celp80; do
  "$vocenc" --mode "$mode" "$speech" "$work/speech-$mode.voc" 2>/dev/null
done
for sample in "$@" "$work"/speech-*.voc; do
  "$vocdec" --raw "$sample" "$work/expected.raw"
  gst-launch-1.0 -q filesrc location="$sample" ! decodebin ! audioconvert ! \
    audio/x-raw,format=S16LE ! filesink location="$work/decoded.raw"
  if ! cmp "$work/expected.raw" "$work/decoded.raw"; then
    echo "$sample: decodebin's output differs from vocdec --raw" >&2
    exit 1
  fi
  echo "$sample: $(stat -c %s "$work/decoded.raw") bytes, as vocdec --raw"
done
