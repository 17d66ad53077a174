#!/usr/bin/env bash
# Builds the demo project (examples/demo) with the command-line build and the
# stand-in Delphi tools, then prints its summary and its hint and warning logs.
#
#   scripts/run-demo.sh [--check] [--wine WINE_RUN] <bin dir>
#
# <bin dir> holds tesmar-build, DCC32.exe, BRCC32.exe and DemoStep. The demo is
# copied to ${TMPDIR:-/tmp}/tesmar-demo by scripts/prepare-demo.sh (replaced on
# every run). The exit status is that of tesmar-build.
#
# --check       the exit status is 1 unless every entry built and no pre- or
#               post-processing line failed.
# --wine RUN    <bin dir> holds the Windows programs of a cross build, run
#               through that build's wine-run script; the copy is
#               ${TMPDIR:-/tmp}/tesmar-demo-windows and its paths are the
#               Windows paths that Wine gives it (Z:\...).
set -euo pipefail

usage() {
  echo "usage: $0 [--check] [--wine WINE_RUN] <bin dir>" >&2
  exit 2
}
check=0
runner=""
while [ $# -gt 1 ]; do
  case "$1" in
  --check) check=1 ;;
  --wine)
    [ $# -gt 2 ] || usage
    runner=$2
    shift
    ;;
  *) usage ;;
  esac
  shift
done
if [ $# -ne 1 ] || [ ! -d "$1" ]; then
  usage
fi
BIN=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)

if [ -n "$runner" ]; then
  [ -x "$runner" ] || usage
  exe=.exe
  DEMO="${TMPDIR:-/tmp}/tesmar-demo-windows"
  # Wine's drive Z: is the root directory.
  demo_name="Z:$(printf '%s' "$DEMO" | tr / '\\')"
else
  exe=""
  DEMO="${TMPDIR:-/tmp}/tesmar-demo"
  demo_name=$DEMO
fi

for program in "tesmar-build$exe" DCC32.exe BRCC32.exe "DemoStep$exe"; do
  if [ ! -x "$BIN/$program" ]; then
    echo "run-demo: $BIN/$program is missing; build the project first" >&2
    exit 2
  fi
done

bash "$ROOT/scripts/prepare-demo.sh" ${runner:+--windows} "$DEMO"

echo "Building the demo project in $demo_name"
status=0
if [ -n "$runner" ]; then
  # Windows finds the tools beside tesmar-build.exe.
  "$runner" "$BIN/tesmar-build.exe" "$demo_name" || status=$?
else
  # The project leaves DCCPath empty, so the tools are found on the PATH.
  PATH="$BIN:$PATH" "$BIN/tesmar-build" "$DEMO" || status=$?
fi

show() {
  if [ -f "$DEMO/$1" ]; then
    echo
    echo "---- $1 ----"
    tr -d '\r' < "$DEMO/$1"
  fi
}
show Summary.log
show Hint.log
show Warning.log

if [ "$check" = 1 ]; then
  if [ "$status" -ne 0 ]; then
    echo "run-demo: not every entry built (status $status)" >&2
    exit 1
  fi
  if tr -d '\r' < "$DEMO/Events.log" | grep -E ' line [0-9]+ failed: '; then
    echo "run-demo: a processing line failed" >&2
    exit 1
  fi
  # A second build stamps every target with the next build number.
  version_of() {
    if [ -n "$runner" ]; then
      "$runner" "$BIN/tesmar-build.exe" --version-of "$demo_name\\bin\\$1" | tr -d '\r' | head -n1
    else
      "$BIN/tesmar-build" --version-of "$DEMO/bin/$1" | head -n1
    fi
  }
  first=$(version_of DemoApp.exe)
  if [ -n "$runner" ]; then
    "$runner" "$BIN/tesmar-build.exe" --quiet "$demo_name" > /dev/null || status=$?
  else
    PATH="$BIN:$PATH" "$BIN/tesmar-build" --quiet "$DEMO" > /dev/null || status=$?
  fi
  second=$(version_of DemoApp.exe)
  build=${first##*.}
  if [ "$status" -ne 0 ] || [ "$second" != "${first%.*}.$((build + 1))" ] || [ "$(version_of DemoLib.dll)" != "$second" ]; then
    echo "run-demo: the second build gave status $status and $second (DemoLib: $(version_of DemoLib.dll)) after $first" >&2
    exit 1
  fi
  echo "run-demo: every entry built, every processing line ran; the second build stamped $second"
fi
exit "$status"
