#!/usr/bin/env bash
# Makes the two short utterances the speech quality tests encode:
# tests/data/speech-m3.wav and tests/data/speech-f3.wav, about 3 s each of
# 16-bit mono speech at 8000 Hz, synthesised with espeak-ng in a male and a
# female voice and brought to 8000 Hz the way vocenc does it. Run by hand
# when the texts change, and commit the result; the build and the tests need
# neither espeak-ng nor this script.
#
#   scripts/make-test-speech.sh [BUILD_DIR]     # speech_to_8k from BUILD_DIR/bin
set -euo pipefail

# voice:text, one utterance per voice.
UTTERANCES=(
  "m3:The birch canoe slid on the smooth planks, said the man."
  "f3:Glue the sheet to the dark blue background, she said."
)
SPEED=160

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
to_8k=$build/bin/speech_to_8k
if [ ! -x "$to_8k" ]; then
  echo "make-test-speech: no speech_to_8k in $build/bin: build the benchmarks first" >&2
  exit 1
fi
command -v espeak-ng >/dev/null || {
  echo "make-test-speech: espeak-ng is needed (apt-get install espeak-ng)" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for utterance in "${UTTERANCES[@]}"; do
  voice=${utterance%%:*}
  text=${utterance#*:}
  espeak-ng -v "en+$voice" -s "$SPEED" -w "$work/$voice.wav" "$text"
  "$to_8k" "$work/$voice.wav" "$root/tests/data/speech-$voice.wav"
  echo "tests/data/speech-$voice.wav: en+$voice, \"$text\""
done
