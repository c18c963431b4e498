#!/usr/bin/env bash
# The batch decoding benchmark: vocdec -o DIR decodes 16 copies of a
# 10-minute celp80 file with -j 1 and with -j 2, and the report gives the
# wall time ratio (the aim: at least 1.8 on two cores). The file is the
# committed espeak-ng utterances (tests/data) encoded by vocenc, their
# decoded samples repeated to 10 minutes and encoded again in celp80.
#
# Wall time depends on what else the machine runs, so the report also gives
# the CPU time each run used and the load average before it: a ratio below
# the aim with the CPU time unchanged points at a busy machine.
#
#   bench/batch_decode.sh [BUILD_DIR] [RUNS]     # or: make bench-batch
set -euo pipefail

COPIES=16
MINUTES=10
TARGET=1.8

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${2:-3}
bin=$build/bin
for tool in vocenc vocdec; do
  if [ ! -x "$bin/$tool" ]; then
    echo "batch_decode: no $tool in $bin: build first (make build)" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 8000 Hz samples of both voices, repeated to MINUTES minutes (16000 bytes a
# second), then encoded once.
for voice in m3 f3; do
  "$bin/vocenc" --mode celp80 "$root/tests/data/speech-$voice.wav" "$work/$voice.voc"
  "$bin/vocdec" -q --raw "$work/$voice.voc" "$work/$voice.raw"
done
cat "$work/m3.raw" "$work/f3.raw" >"$work/pair.raw"
want=$((MINUTES * 60 * 16000))
: >"$work/long.raw"
while [ "$(stat -c %s "$work/long.raw")" -lt "$want" ]; do cat "$work/pair.raw" >>"$work/long.raw"; done
truncate -s "$want" "$work/long.raw"
"$bin/vocenc" --mode celp80 --raw "$work/long.raw" "$work/long.voc"
rm "$work"/*.raw
mkdir "$work/in"
for i in $(seq -w 1 "$COPIES"); do cp "$work/long.voc" "$work/in/copy$i.voc"; done

# One run: "<wall seconds> <CPU seconds>" of the best (shortest) of `runs`.
best_run() {
  local jobs=$1 best="" best_cpu="" out wall cpu
  for _ in $(seq "$runs"); do
    rm -rf "$work/out"
    out=$({ /usr/bin/time -f "%e %U %S" "$bin/vocdec" -q -j "$jobs" -o "$work/out" "$work"/in/*.voc; } 2>&1)
    wall=$(awk '{ print $1 }' <<<"$out")
    cpu=$(awk '{ printf "%.2f", $2 + $3 }' <<<"$out")
    if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$wall
      best_cpu=$cpu
    fi
  done
  echo "$best $best_cpu"
}

echo "vocdec batch: $COPIES copies of a $MINUTES-minute celp80 file, best of $runs runs, $(nproc) cores"
read -r load1 _ </proc/loadavg
read -r wall1 cpu1 < <(best_run 1)
read -r load2 _ </proc/loadavg
read -r wall2 cpu2 < <(best_run 2)
# Cores used: CPU time over wall time, 1 and 2 on an otherwise idle machine.
report() {
  awk -v j="$1" -v w="$2" -v c="$3" -v l="$4" 'BEGIN {
    printf "  -j %s: %6.2f s wall, %6.2f s CPU, %.2f cores used (load average before: %s)\n",
      j, w, c, c / w, l }'
}
report 1 "$wall1" "$cpu1" "$load1"
report 2 "$wall2" "$cpu2" "$load2"
awk -v a="$wall1" -v b="$wall2" -v t="$TARGET" \
  'BEGIN { r = a / b; printf "  ratio: %.2f (aim: at least %.1f) %s\n", r, t, (r >= t ? "met" : "NOT met") }'
