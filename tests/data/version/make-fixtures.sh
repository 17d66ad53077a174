#!/bin/sh
# Remakes the executables of the version reader's tests from the .rc and .s
# files beside this script. Needs the MinGW-w64 binutils (windres, as, ld) for
# i686 (PE32) and x86_64 (PE32+).
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {  # build <tool prefix> <output> [resource script]
  prefix=$1 out=$2 rc=${3:-}
  "$prefix-as" entry.s -o "$work/entry.o"
  objs="$work/entry.o"
  if [ -n "$rc" ]; then
    "$prefix-windres" --preprocessor=cpp -c 65001 "$rc" -O coff -o "$work/res.o"
    objs="$objs $work/res.o"
  fi
  # shellcheck disable=SC2086
  "$prefix-ld" -s --no-insert-timestamp $objs -o "$out"
}

for name in full partial twolang lowercase notrans otherres; do
  build i686-w64-mingw32 "$name.exe" "$name.rc"
done
build i686-w64-mingw32 norsrc.exe
build x86_64-w64-mingw32 full64.exe full.rc
