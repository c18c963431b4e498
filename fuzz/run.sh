#!/usr/bin/env bash
# Fuzzes the voice decoder for a fixed time and fails on any crash, leak or
# timeout, leaving the offending input in BUILD_DIR/artifacts.
#   fuzz/run.sh BUILD_DIR SECONDS     (FUZZ_JOBS=N runs N jobs side by side)
set -euo pipefail

build=$(realpath "${1:?usage: fuzz/run.sh BUILD_DIR SECONDS}")
seconds=${2:?usage: fuzz/run.sh BUILD_DIR SECONDS}
jobs=${FUZZ_JOBS:-2}
fuzzer=$build/bin/voice_fuzz
seeds=$build/seeds
corpus=$build/corpus
artifacts=$build/artifacts
logs=$build/fuzz-logs

# Seeds are rewritten every time so that they follow the builder; the working
# corpus grows across runs.
rm -rf "$seeds" "$logs"
mkdir -p "$seeds" "$corpus" "$artifacts" "$logs"
"$build/bin/make_fuzz_corpus" "$seeds"

if [ -x /usr/bin/llvm-symbolizer-14 ]; then export ASAN_SYMBOLIZER_PATH=/usr/bin/llvm-symbolizer-14; fi
# The fuzzer rewrites its input file for every run: keep it in memory.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

# Inputs that failed before must keep passing once fixed.
mapfile -t old_findings < <(find "$artifacts" -type f | sort)
if [ ${#old_findings[@]} -gt 0 ]; then
  echo "Re-running ${#old_findings[@]} earlier finding(s) from $artifacts"
  "$fuzzer" -runs=1 "${old_findings[@]}" >"$logs/old-findings.log" 2>&1 || {
    cat "$logs/old-findings.log"
    echo "FAIL: an earlier fuzz finding still fails" >&2
    exit 1
  }
fi

options=(-max_total_time="$seconds" -max_len=8192 -timeout=10 -print_final_stats=1
         -artifact_prefix="$artifacts/")
status=0
if [ "$jobs" -gt 1 ]; then
  # Each job writes its own log into the current directory.
  # Each job logs into the current directory; the fuzzer prints the logs as
  # the jobs end.
  (cd "$logs" && "$fuzzer" "${options[@]}" -jobs="$jobs" -workers="$jobs" "$corpus" "$seeds") || status=$?
else
  "$fuzzer" "${options[@]}" "$corpus" "$seeds" || status=$?
fi

if [ "$status" -ne 0 ]; then
  echo "FAIL: the fuzzer stopped with status $status; inputs in $artifacts" >&2
  exit 1
fi
echo "Fuzzing found nothing in ${seconds}s; corpus: $(find "$corpus" -type f | wc -l) inputs"
