#!/usr/bin/env bash
# The encoder quality report: speech synthesised with espeak-ng in two voices
# is encoded by vocenc in every mode and decoded by vocdec, and the decoded
# speech is measured against the 8 kHz speech the encoder was given (codec
# delay found by cross-correlation, waveform SNR, segmental SNR over 20 ms
# segments clamped to [-10, 35] dB with silent ones skipped), with the
# in-band (200-3400 Hz) segmental SNR and log-spectral distance of
# tests/support/band_quality.h. Encoding speed is vocenc's user CPU time on
# one core (other builds on the machine do not slow it), as a multiple of
# real time: end to end from espeak-ng's 22050 Hz output (resampling
# included) and from the 8 kHz speech (the encoder alone). Best of three
# runs each.
#
# A second table codes the committed utterances (tests/data, 8 dB down so
# that a -6 dBFS tone fits beside them) with low-frequency trouble added by
# sox: hum, rumble, low tones, a DC offset, thumps. It measures the decoded
# speech against the trouble-free utterance in band, and the trouble left:
# "low +dB" is the strongest line from 20 to 100 Hz in the output less the
# one in the input (more than 0: the coding made a new one), "hum -dB" how
# far that input line comes out lower, and "peak" the output's largest
# sample beside the trouble-free utterance's coded peak.
#
#   bench/encoder_quality.sh [BUILD_DIR]     # or: make quality
#   QUALITY_TABLES=low bench/encoder_quality.sh   # only the second table
#   QUALITY_TABLES=speech bench/encoder_quality.sh   # only the first
#
# Needs espeak-ng and sox; the build and `make test` do not.
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
TABLES=${QUALITY_TABLES:-all}
case $TABLES in
  all | speech | low) ;;
  *) echo "encoder_quality: QUALITY_TABLES is all, speech or low, not '$TABLES'" >&2; exit 1 ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
bin=$build/bin
for tool in vocenc vocdec vocinfo speech_to_8k voice_quality; do
  if [ ! -x "$bin/$tool" ]; then
    echo "encoder_quality: no $tool in $bin: build first (make build)" >&2
    exit 1
  fi
done
needs=(sox)
[ "$TABLES" = low ] || needs+=(espeak-ng)
for needed in "${needs[@]}"; do
  command -v "$needed" >/dev/null || {
    echo "encoder_quality: $needed is needed (apt-get install $needed)" >&2
    exit 1
  }
done
# sox dithers whatever it changes the level of; its repeatable mode seeds
# the dither the same on every run, or the second table's inputs (and the
# peaks coded from them, by up to 1 dB) would differ from run to run.
export SOX_OPTS="-R ${SOX_OPTS:-}"
# One core, so that the speed is the encoder's and not the machine's.
pin=()
command -v taskset >/dev/null && pin=(taskset -c 0)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best user CPU time of RUNS runs of the command, in seconds.
best_seconds() {
  local best="" t TIMEFORMAT=%3U
  for _ in $(seq "$RUNS"); do
    t=$( { time "${pin[@]}" "$@" >/dev/null; } 2>&1)
    if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
  done
  awk -v s="$best" 'BEGIN { printf "%.4f", (s > 0.0005) ? s : 0.0005 }'
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

# --- Synthesised speech, every mode ------------------------------------------
speech_table() {
  printf '%-7s %-8s %5s %8s %8s %8s %6s %9s %9s  %s\n' voice mode lag "SNR dB" "segSNR" \
    "band" "LSD" "x RT e2e" "x RT enc" "targets"
  failures=0
  for voice in "${VOICES[@]}"; do
    espeak-ng -v "$voice" -w "$work/$voice.wav" "$TEXT"
    "$bin/speech_to_8k" "$work/$voice.wav" "$work/$voice.8k.wav"
    for mode in "${MODES[@]}"; do
      voc=$work/$voice.$mode.voc
      e2e=$(best_seconds "$bin/vocenc" --mode "$mode" "$work/$voice.wav" "$voc")
      enc=$(best_seconds "$bin/vocenc" --mode "$mode" "$work/$voice.8k.wav" "$voc")
      "$bin/vocdec" "$voc" "$work/$voice.$mode.dec.wav"
      read -r _ lag _ snr _ segsnr _ _ _ band _ lsd _ < <("$bin/voice_quality" \
        "$work/$voice.8k.wav" "$work/$voice.$mode.dec.wav" "$work/$voice.8k.wav")
      length=$(seconds_of "$voc")
      rt_e2e=$(awk -v l="$length" -v t="$e2e" 'BEGIN { printf "%.0f", l / t }')
      rt_enc=$(awk -v l="$length" -v t="$enc" 'BEGIN { printf "%.0f", l / t }')
      checks="snr $(verdict "$snr" "${SNR_TARGET[$mode]:-}"), segsnr $(verdict "$segsnr" \
        "${SEGSNR_TARGET[$mode]:-}"), speed $(verdict "$rt_e2e" "$SPEED_TARGET")"
      case $checks in *LOW*) failures=$((failures + 1)) ;; esac
      printf '%-7s %-8s %5s %8s %8s %8s %6s %9s %9s  %s\n' "$voice" "$mode" "$lag" "$snr" \
        "$segsnr" "$band" "$lsd" "$rt_e2e" "$rt_enc" "$checks"
    done
  done
  echo
  echo "speech: $(seconds_of "$work/${VOICES[0]}.celp80.voc") s per voice at 8000 Hz;" \
    "x RT e2e: vocenc on the 22050 Hz file (resampling included); x RT enc: on the 8 kHz file;" \
    "band: in-band segmental SNR, LSD: log-spectral distance (dB)"
  [ "$failures" -eq 0 ] || echo "$failures row(s) below target"
}

# --- Low-frequency trouble ---------------------------------------------------
CONDITIONS=(clean hum50 hum60 rumble tone10_-12 tone20_-12 tone10_-6 tone20_-6 tone40_-6 dc pops)
CELP_MODES=(celp56 celp64 celp80)

rms_db() { sox "$1" -n stats 2>&1 | awk '/^RMS lev dB/ { print $4 }'; }
# sine FILE HZ PEAK_DBFS SECONDS
sine() { sox -R -n -r 8000 -c 1 -b 16 "$1" synth "$4" sine "$2" vol "$3" dB; }
mix() { local out=$1; shift; local args=(); for f in "$@"; do args+=(-v 1 "$f"); done
  sox -m "${args[@]}" "$out" 2>/dev/null; }

# make_condition NAME CLEAN OUT: CLEAN with the named trouble added. Levels
# under the speech are against its RMS; a sine's RMS is 3 dB under its peak.
make_condition() {
  local name=$1 clean=$2 out=$3 t=${3%.wav} dur rms sine0
  dur=$(soxi -D "$clean")
  rms=$(rms_db "$clean")
  sine0=$(awk -v r="$rms" 'BEGIN { print r + 3.01 }')
  below() { awk -v s="$sine0" -v d="$1" 'BEGIN { print s - d }'; }
  case $name in
    clean) cp "$clean" "$out" ;;
    hum50 | hum60)  # mains hum 20 dB under the speech, harmonics 26 and 30 dB
      local f=${name#hum}
      sine "$t.h1.wav" "$f" "$(below 20)" "$dur"
      sine "$t.h2.wav" $((2 * f)) "$(below 26)" "$dur"
      sine "$t.h3.wav" $((3 * f)) "$(below 30)" "$dur"
      mix "$out" "$clean" "$t.h1.wav" "$t.h2.wav" "$t.h3.wav" ;;
    rumble)  # brown noise under 40 Hz, 10 dB under the speech
      sox -R -n -r 8000 -c 1 -b 16 "$t.n.wav" synth "$dur" brownnoise sinc -40
      sox "$t.n.wav" "$t.r.wav" vol "$(awk -v r="$rms" -v n="$(rms_db "$t.n.wav")" \
        'BEGIN { print r - 10 - n }')" dB
      mix "$out" "$clean" "$t.r.wav" ;;
    tone*)  # toneHZ_PEAKDBFS
      local spec=${name#tone}
      sine "$t.t.wav" "${spec%_*}" "${spec#*_}" "$dur"
      mix "$out" "$clean" "$t.t.wav" ;;
    dc) sox "$clean" "$out" dcshift 0.1 ;;
    pops)  # a thump (half a 12.5 Hz cycle at -6 dBFS) every 0.7 s
      sox -R -n -r 8000 -c 1 -b 16 "$t.p1.wav" synth 0.04 sine 12.5 vol -6 dB pad 0 0.66
      sox "$t.p1.wav" "$t.p.wav" repeat "$(awk -v d="$dur" 'BEGIN { print int(d / 0.7) }')"
      sox "$t.p.wav" "$t.p2.wav" pad 0 1 trim 0 "$dur" 2>/dev/null
      mix "$out" "$clean" "$t.p2.wav" ;;
  esac
  rm -f "$t".*.wav
}

low_table() {
  echo "Low-frequency trouble: tests/data utterances 8 dB down with trouble added;" \
    "band and LSD against the utterance alone"
  printf '%-4s %-7s %-11s %7s %7s %7s %6s %7s %6s %12s\n' voice mode condition "SNR" "segSNR" \
    "band" "LSD" "low +dB" "hum -dB" "peak/clean"
  declare -A clean_peak
  for voice in m3 f3; do
    clean=$work/lf.$voice.source.wav
    sox "$root/tests/data/speech-$voice.wav" "$clean" vol -8 dB
    for condition in "${CONDITIONS[@]}"; do
      input=$work/lf.$voice.$condition.wav
      make_condition "$condition" "$clean" "$input"
      for mode in "${CELP_MODES[@]}"; do
        "$bin/vocenc" --mode "$mode" "$input" "$work/lf.voc" >/dev/null
        "$bin/vocdec" "$work/lf.voc" "$work/lf.dec.wav" >/dev/null
        read -r _ _ _ snr _ segsnr _ _ _ band _ lsd _ low_in _ low_out _ drop _ peak < <( \
          "$bin/voice_quality" "$input" "$work/lf.dec.wav" "$clean")
        [ "$condition" = clean ] && clean_peak[$voice.$mode]=$peak
        low=$(awk -v i="$low_in" -v o="$low_out" 'BEGIN { printf "%+.1f", o - i }')
        case $condition in hum*) hum=$drop ;; *) hum="-" ;; esac
        printf '%-4s %-7s %-11s %7s %7s %7s %6s %7s %6s %12s\n' "$voice" "$mode" "$condition" \
          "$snr" "$segsnr" "$band" "$lsd" "$low" "$hum" "$peak/${clean_peak[$voice.$mode]}"
      done
    done
  done
}

[ "$TABLES" = low ] || speech_table
[ "$TABLES" = all ] && echo
[ "$TABLES" = speech ] || low_table
