#!/bin/bash
# The installed libvoicefile, used as a C program outside this build would:
# compiled with the flags of its .pc file, it decodes every committed sample
# to exactly what vocdec --raw writes.
# usage: installed_library_test.sh PREFIX VOCDEC DECODE_C_SOURCE SAMPLE...
set -euo pipefail
prefix=$1 vocdec=$2 source=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

pc_dir=$(dirname "$(find "$prefix" -name voicefile.pc -print -quit)")
export PKG_CONFIG_PATH=$pc_dir
# shellcheck disable=SC2046  # the flags are words
cc -std=c11 -Wall -Wextra -Werror -o "$work/decode_c" "$source" $(pkg-config --cflags --libs voicefile)
lib_dir=$(pkg-config --variable=libdir voicefile)

for sample in "$@"; do
  "$vocdec" --raw "$sample" "$work/expected.raw"
  LD_LIBRARY_PATH=$lib_dir "$work/decode_c" "$sample" >"$work/actual.raw"
  if ! cmp "$work/expected.raw" "$work/actual.raw"; then
    echo "$sample: the library's output differs from vocdec --raw" >&2
    exit 1
  fi
  echo "$sample: $(stat -c %s "$work/actual.raw") bytes, as vocdec --raw"
done
