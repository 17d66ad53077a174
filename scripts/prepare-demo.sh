#!/usr/bin/env bash
# Copies the demo project (examples/demo) to a directory, replacing it, and
# turns the placeholder @DEMO@ in its files into the copy's absolute path,
# since a project stores full paths.
#
#   scripts/prepare-demo.sh [--windows] <directory>
#
# --windows  the paths are the Windows paths that Wine gives the copy
#            (Z:\...), for the Windows programs run under Wine.
set -euo pipefail
windows=0
if [ "${1:-}" = --windows ]; then
  windows=1
  shift
fi
if [ $# -ne 1 ]; then
  echo "usage: $0 [--windows] <directory>" >&2
  exit 2
fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEMO=$1
rm -rf "$DEMO"
mkdir -p "$DEMO"
DEMO=$(cd "$DEMO" && pwd)
cp -R "$ROOT/examples/demo/." "$DEMO/"
if [ "$windows" = 1 ]; then
  # Wine's drive Z: is the root directory.
  name="Z:$(printf '%s' "$DEMO" | tr / '\\')"
  separator='\'
else
  name=$DEMO
  separator=/
fi
# "@DEMO@/src/App.dpr" becomes the copy's name, in the system's separators.
grep -rlF --exclude=README.md '@DEMO@' "$DEMO" | while IFS= read -r file; do
  DEMO_NAME=$name SEPARATOR=$separator perl -pi -e \
    's{\@DEMO\@([^\]=\r\n]*)}{my $rest = $1; $rest =~ s!/!$ENV{SEPARATOR}!g; $ENV{DEMO_NAME} . $rest}ge' "$file"
done
