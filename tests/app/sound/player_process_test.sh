#!/usr/bin/env bash
# The built player as a user or a script runs it: without a display, against
# a private PulseAudio server (with a null sink, or with none) and with a
# temporary directory of its own, which must be empty again however the
# player ended. Every wait is bounded; the servers and files go at exit.
# Usage: player_process_test.sh PLAYER RUN_PLAYER_SCRIPT SHORT_PLAYER_BUILD SAMPLE_VOICE_FILE
set -uo pipefail
player=$1 run_player=$2 short_build=$3 sample=$4
work=$(mktemp -d)
servers=()
trap 'kill "${servers[@]}" 2>/dev/null; wait; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# Starts a server in $work/$1, with a null sink unless $1 is "nosink".
start_server() {
  local dir=$work/$1
  mkdir -m 700 "$dir" "$dir/tmp" "$dir/bin"
  { [ "$1" = nosink ] || printf 'load-module module-null-sink sink_name=s\nset-default-sink s\n'
    echo "load-module module-native-protocol-unix socket=$dir/native auth-anonymous=1"; } >"$dir/server.pa"
  HOME=$dir XDG_RUNTIME_DIR=$dir pulseaudio -n -F "$dir/server.pa" --daemonize=no --system=no \
    --use-pid-file=no --exit-idle-time=-1 --realtime=no --log-target=stderr 2>"$dir/log" &
  servers+=($!)
  for _ in $(seq 300); do [ -S "$dir/native" ] && return; sleep 0.05; done
  cat "$dir/log" >&2
  exit 1
}

# env's arguments for a client of server $1, one a line: no display, its own
# TMPDIR and configuration, no session bus, and a stub pulseaudio first on
# PATH, so that run-player.sh can never start a real daemon.
client_env() {
  local dir=$work/$1
  printf '#!/bin/sh\nexit 1\n' >"$dir/bin/pulseaudio" && chmod +x "$dir/bin/pulseaudio"
  printf '%s\n' -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "PULSE_SERVER=unix:$dir/native" \
    "PULSE_RUNTIME_PATH=$dir" "PULSE_COOKIE=$dir/cookie" "HOME=$dir" "XDG_RUNTIME_DIR=$dir" \
    "TMPDIR=$dir/tmp" "XDG_CONFIG_HOME=$dir/config" "DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/no-bus" \
    "PATH=$dir/bin:$PATH"
}

"$player" --help | grep -q "^usage: .* \[--play\]" || fail "--help"
"$player" -V | grep -q "^voiceplayer [0-9]" || fail "--version"
"$player" --bogus 2>"$work/bogus.err"
[ $? -eq 2 ] || fail "an unknown option is not refused"
grep -q "^Try '.* --help'\.$" "$work/bogus.err" || fail "a refused option gives no pointer to --help"

start_server sink
start_server nosink
mapfile -t sink_env < <(client_env sink)
mapfile -t nosink_env < <(client_env nosink)
tmp=$work/sink/tmp

# A termination signal ends the player, and its copy of the recording goes
# with it; the first player also removes the copy of one that died before.
true & gone=$!
wait $gone
mkdir "$tmp/voiceplayer-$gone-a1B2c3" && echo voice >"$tmp/voiceplayer-$gone-a1B2c3/temp.voc"
for signal in TERM INT HUP; do
  env "${sink_env[@]}" QT_QPA_PLATFORM=offscreen "$player" --play 2>"$work/player.log" &
  pid=$!
  for _ in $(seq 300); do compgen -G "$tmp/voiceplayer-$pid-*/temp.voc" >/dev/null && break; sleep 0.05; done
  kill -s "$signal" $pid
  for _ in $(seq 100); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
  kill -0 $pid 2>/dev/null && { fail "SIG$signal: still running after 5 s"; kill -9 $pid; }
  wait $pid
  status=$?
  [ $status -eq $((128 + $(kill -l "$signal"))) ] ||
    fail "SIG$signal: exit status $status: $(cat "$work/player.log")"
  [ -z "$(ls -A "$tmp")" ] || fail "SIG$signal: left $(ls -A "$tmp")"
done

# A voice file given plays instead of the embedded recording, read where it
# lies: no copy in TMPDIR while it plays, and not a word on stderr (neither
# about the missing session bus). One that does not open as a voice file
# gives the decoder's message, and the player ends as when it cannot play.
env "${sink_env[@]}" timeout -k 5 30 "$player" --play "$sample" >"$work/file.log" 2>&1 &
pid=$!
sleep 1
[ -z "$(ls -A "$tmp")" ] || fail "FILE: a copy while playing: $(ls -A "$tmp")"
wait $pid
status=$?
[ $status -eq 0 ] && [ ! -s "$work/file.log" ] || fail "FILE: exit status $status: $(cat "$work/file.log")"
echo "not a voice file" >"$work/notes.voc"
status=0
env "${sink_env[@]}" timeout -k 5 30 "$player" --play "$work/notes.voc" >"$work/file.log" 2>&1 || status=$?
[ $status -eq 1 ] && grep -qx "Warning Decoding: Framesize is negative value" "$work/file.log" ||
  fail "a FILE that is not a voice file: exit status $status: $(cat "$work/file.log")"

# run-player.sh without a display plays the 3 s recording once and ends
# (its own bound: 13 s).
status=0
env "${sink_env[@]}" timeout -k 5 30 "$run_player" "$short_build" >"$work/run.log" 2>&1 || status=$?
[ $status -eq 0 ] || fail "run-player.sh: exit status $status: $(cat "$work/run.log")"
[ -z "$(ls -A "$tmp")" ] || fail "run-player.sh: left $(ls -A "$tmp")"

# A server without a sink: the script fails at once with the device's message.
status=0
SECONDS=0
env "${nosink_env[@]}" timeout -k 5 30 "$run_player" "$short_build" >"$work/run.log" 2>&1 || status=$?
if [ $status -eq 0 ] || [ $SECONDS -ge 13 ]; then
  fail "without a sink: exit status $status after $SECONDS s"
fi
grep -q "^Warning open device: There is no audio output device.$" "$work/run.log" ||
  fail "without a sink: $(cat "$work/run.log")"

exit $((failures > 0))
