#!/usr/bin/env bash
# The encoder quality report: speech synthesised with espeak-ng in two voices
# is encoded by vocenc in every mode and decoded by vocdec, and the decoded
# speech is measured against the 8 kHz speech the encoder was given (codec
# delay found by cross-correlation, waveform SNR, segmental SNR over 20 ms
# segments clamped to [-10, 35] dB with silent ones skipped). Encoding speed
# is vocenc's wall time on one core, as a multiple of real time: end to end
# from espeak-ng's 22050 Hz output (resampling included) and from the 8 kHz
# speech (the encoder alone). Best of three runs each.
#
#   bench/encoder_quality.sh [BUILD_DIR]     # or: make quality
#
# Needs espeak-ng; the build and `make test` do not.
set -euo pipefail

VOICES=(en+m3 en+f3)
MODES=(celp56 celp64 celp80 adpcm40)
TEXT="The birch canoe slid on the smooth planks. Glue the sheet to the dark blue background. \
It is easy to tell the depth of a well. These days a chicken leg is a rare dish. \
Rice is often served in round bowls. The juice of lemons makes fine punch."
# Targets the report compares against (dB, times real time); the CELP modes
# below 8 kbit/s are reported without a target.
declare -A SNR_TARGET=([celp80]=5 [adpcm40]=20)
declare -A SEGSNR_TARGET=([celp80]=3.5)
SPEED_TARGET=50
RUNS=3

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bin=$build/bin
for tool in vocenc vocdec vocinfo speech_to_8k voice_quality; do
  if [ ! -x "$bin/$tool" ]; then
    echo "encoder_quality: no $tool in $bin: build first (make build)" >&2
    exit 1
  fi
done
command -v espeak-ng >/dev/null || {
  echo "encoder_quality: espeak-ng is needed (apt-get install espeak-ng)" >&2
  exit 1
}
# One core, so that the speed is the encoder's and not the machine's.
pin=()
command -v taskset >/dev/null && pin=(taskset -c 0)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now_ns() { date +%s%N; }

# Best wall time of RUNS runs of the command, in seconds.
best_seconds() {
  local best="" start end t
  for _ in $(seq "$RUNS"); do
    start=$(now_ns)
    "${pin[@]}" "$@" >/dev/null
    end=$(now_ns)
    t=$(( end - start ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}

seconds_of() {
  "$bin/vocinfo" "$1" | awk '/^Frames:/ { printf "%.2f", $2 / 100 }'
}

# "value ≥ target" as ok / LOW, or "-" without a target.
verdict() {
  local value=$1 target=${2:-}
  if [ -z "$target" ]; then echo "-"; return; fi
  awk -v v="$value" -v t="$target" 'BEGIN { print (v >= t) ? "ok" : "LOW" }'
}

printf '%-7s %-8s %5s %8s %8s %11s %11s  %s\n' voice mode lag "SNR dB" "segSNR" \
  "x RT e2e" "x RT enc" "targets"
failures=0
for voice in "${VOICES[@]}"; do
  espeak-ng -v "$voice" -w "$work/$voice.wav" "$TEXT"
  "$bin/speech_to_8k" "$work/$voice.wav" "$work/$voice.8k.wav"
  for mode in "${MODES[@]}"; do
    voc=$work/$voice.$mode.voc
    e2e=$(best_seconds "$bin/vocenc" --mode "$mode" "$work/$voice.wav" "$voc")
    enc=$(best_seconds "$bin/vocenc" --mode "$mode" "$work/$voice.8k.wav" "$voc")
    "$bin/vocdec" "$voc" "$work/$voice.$mode.dec.wav"
    read -r _ lag _ snr _ segsnr _ _ < <("$bin/voice_quality" "$work/$voice.8k.wav" \
      "$work/$voice.$mode.dec.wav")
    length=$(seconds_of "$voc")
    rt_e2e=$(awk -v l="$length" -v t="$e2e" 'BEGIN { printf "%.0f", l / t }')
    rt_enc=$(awk -v l="$length" -v t="$enc" 'BEGIN { printf "%.0f", l / t }')
    checks="snr $(verdict "$snr" "${SNR_TARGET[$mode]:-}"), segsnr $(verdict "$segsnr" \
      "${SEGSNR_TARGET[$mode]:-}"), speed $(verdict "$rt_e2e" "$SPEED_TARGET")"
    case $checks in *LOW*) failures=$((failures + 1)) ;; esac
    printf '%-7s %-8s %5s %8s %8s %11s %11s  %s\n' "$voice" "$mode" "$lag" "$snr" "$segsnr" \
      "$rt_e2e" "$rt_enc" "$checks"
  done
done
echo
echo "speech: $(seconds_of "$work/${VOICES[0]}.celp80.voc") s per voice at 8000 Hz;" \
  "x RT e2e: vocenc on the 22050 Hz file (resampling included); x RT enc: on the 8 kHz file"
[ "$failures" -eq 0 ] || echo "$failures row(s) below target"
