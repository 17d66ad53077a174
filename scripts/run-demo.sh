#!/usr/bin/env bash
# Builds the demo project (examples/demo) with the command-line build and the
# stand-in Delphi tools, then prints its summary and its hint and warning logs.
#
#   scripts/run-demo.sh <bin dir>
#
# <bin dir> holds tesmar-build, DCC32.exe and BRCC32.exe. The demo is copied to
# ${TMPDIR:-/tmp}/tesmar-demo (replaced on every run); the placeholder @DEMO@
# in its files becomes the copy's absolute path, since a project stores full
# paths. The exit status is that of tesmar-build.
set -euo pipefail

if [ $# -ne 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 <bin dir>" >&2
  exit 2
fi
BIN=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEMO="${TMPDIR:-/tmp}/tesmar-demo"

for program in tesmar-build DCC32.exe BRCC32.exe; do
  if [ ! -x "$BIN/$program" ]; then
    echo "run-demo: $BIN/$program is missing; build the project first" >&2
    exit 2
  fi
done

bash "$ROOT/scripts/prepare-demo.sh" "$DEMO"

# The project leaves DCCPath empty, so the tools are found on the PATH.
export PATH="$BIN:$PATH"

echo "Building the demo project in $DEMO"
status=0
"$BIN/tesmar-build" "$DEMO" || status=$?

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
exit "$status"
