#!/usr/bin/env bash
# Shows what the sample voice file holds and decodes it to a WAV file.
# Usage: scripts/run-sample.sh BUILD_DIR
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$1
cd "$(dirname "$0")/.."

sample=samples/sample.voc
wav=$build/sample.wav

"$build/bin/vocinfo" "$sample"
echo
"$build/bin/vocdec" "$sample" "$wav"
echo "Decoded $sample to $wav (16-bit mono, 8000 Hz)."
echo "The player window itself comes in a later version; until then, play the WAV file with any audio player."
