#!/usr/bin/env bash
# Copies the demo project (examples/demo) to a directory, replacing it, and
# turns the placeholder @DEMO@ in its files into the copy's absolute path,
# since a project stores full paths.
#
#   scripts/prepare-demo.sh <directory>
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 <directory>" >&2
  exit 2
fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEMO=$1
rm -rf "$DEMO"
mkdir -p "$DEMO"
DEMO=$(cd "$DEMO" && pwd)
cp -R "$ROOT/examples/demo/." "$DEMO/"
# sed's replacement text treats \, & and the delimiter specially.
replacement=$(printf '%s' "$DEMO" | sed -e 's/[\\&|]/\\&/g')
grep -rlF --exclude=README.md '@DEMO@' "$DEMO" | while IFS= read -r file; do
  sed -i -e "s|@DEMO@|$replacement|g" "$file"
done
