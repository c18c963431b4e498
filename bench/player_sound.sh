#!/usr/bin/env bash
# Measures the built player against a sound server of its own: the time from
# pressing Play to the first sound at the sink, and the CPU the player uses
# while it plays a Celp80 recording. The default recording is re-encoded as
# Celp80 and a player carrying it is built next to BUILD_DIR (in
# BUILD_DIR/bench-player); the player runs on a virtual display, and Play is
# pressed with a key press, as a user would.
# Usage: bench/player_sound.sh BUILD_DIR        (after 'make build')
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
for tool in vocdec vocenc vocinfo; do
  if [ ! -x "$build/bin/$tool" ]; then
    echo "$0: no $tool in $build/bin; run 'make build' first" >&2
    exit 1
  fi
done
for command in pulseaudio parec xvfb-run xdotool python3; do
  command -v "$command" >/dev/null || { echo "$0: $command is needed" >&2; exit 1; }
done

# A player carrying the recording re-encoded as Celp80.
side=$build/bench-player
mkdir -p "$side"
recording=$(sed -n 's/^VOICE_RECORDING:FILEPATH=//p' "$build/CMakeCache.txt")
"$build/bin/vocdec" --raw "$recording" "$side/speech.raw"
"$build/bin/vocenc" --mode celp80 --raw "$side/speech.raw" "$side/celp80.voc"
cmake -S "$source_dir" -B "$side" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOICE_BENCH=OFF \
  -DVOICE_RECORDING="$side/celp80.voc" >/dev/null
cmake --build "$side" --target voiceplayer -j 2 >/dev/null
player=$side/bin/$(sed -n 's/^VOICE_PLAYER_NAME:STRING=//p' "$side/CMakeCache.txt")
seconds=$("$build/bin/vocinfo" "$side/celp80.voc" | sed -n 's/.*(\([0-9]*\) s).*/\1/p' | head -n 1)

# The sound server: a null sink at a usual hardware rate, on a private socket.
work=$(mktemp -d)
server_pid=
onset_pid=
cleanup() {
  [ -n "$onset_pid" ] && kill "$onset_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cat >"$work/server.pa" <<PA
load-module module-null-sink sink_name=bench rate=48000 norewinds=1
load-module module-native-protocol-unix socket=$work/native auth-anonymous=1
set-default-sink bench
PA
HOME=$work XDG_RUNTIME_DIR=$work XDG_CONFIG_HOME=$work pulseaudio -n -F "$work/server.pa" \
  --daemonize=no --system=no --use-pid-file=no --exit-idle-time=-1 --realtime=no \
  --high-priority=no --log-target=stderr --log-level=error 2>"$work/server.log" &
server_pid=$!
for _ in $(seq 100); do [ -S "$work/native" ] && break; sleep 0.05; done
[ -S "$work/native" ] || { cat "$work/server.log" >&2; echo "$0: pulseaudio did not start" >&2; exit 1; }
export PULSE_SERVER=unix:$work/native PULSE_RUNTIME_PATH=$work HOME=$work XDG_RUNTIME_DIR=$work

# The first sound at the sink's monitor, stamped when it arrives: the time
# of its block less the samples after it in the block.
python3 - "$work/onset" <<'PY' &
import os, struct, subprocess, sys, time
rate = 8000
rec = subprocess.Popen(["parec", "--device=bench.monitor", "--raw", "--format=s16le",
                        "--rate=%d" % rate, "--channels=1", "--latency-msec=10"],
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
found = False
while True:
    data = os.read(rec.stdout.fileno(), 4096)
    now = time.time()
    if not data:
        break
    if found:
        continue
    samples = struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 2 * 2])
    for i, s in enumerate(samples):
        if abs(s) > 300:
            with open(sys.argv[1], "w") as out:
                out.write("%.6f\n" % (now - (len(samples) - 1 - i) / rate))
            found = True
            break
PY
onset_pid=$!
sleep 0.5

export PLAYER="$player" SECONDS_TO_PLAY="${seconds:-5}" WORK="$work"
xvfb-run -a bash -c '
  "$PLAYER" &
  pid=$!
  window=$(xdotool search --sync --name "Vantor Digital Voice Player" | head -n 1)
  sleep 1
  xdotool windowfocus --sync "$window"
  before=$(awk "{ print \$12 + \$13 }" <(sed "s/^.*) //" /proc/$pid/stat))
  date +%s.%N >"$WORK/pressed"
  xdotool key Return
  start=$(date +%s.%N)
  sleep "$SECONDS_TO_PLAY"
  after=$(awk "{ print \$12 + \$13 }" <(sed "s/^.*) //" /proc/$pid/stat))
  end=$(date +%s.%N)
  echo "$before $after $start $end $(getconf CLK_TCK)" >"$WORK/cpu"
  sleep 1
  xdotool windowfocus --sync "$window" key Escape
  wait "$pid"
'
read -r before after start end hz <"$work/cpu"
python3 - "$before" "$after" "$start" "$end" "$hz" "$(cat "$work/pressed")" \
  "$(cat "$work/onset" 2>/dev/null || echo none)" <<'PY'
import sys
before, after, start, end, hz, pressed = (float(x) for x in sys.argv[1:7])
onset = sys.argv[7]
cpu = (after - before) / hz / (end - start) * 100
print("CPU while playing the Celp80 recording: %.2f %% of one core (%.1f s measured)"
      % (cpu, end - start))
if onset == "none":
    print("Play to first sound: no sound reached the sink")
else:
    print("Play to first sound: %.0f ms (key press to the first sample at the sink's monitor)"
          % ((float(onset) - pressed) * 1000))
PY
