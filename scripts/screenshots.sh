#!/usr/bin/env bash
# Renders every window of the program offscreen to PNG files under
# docs/screenshots/, with the demo project loaded and built by the stand-in
# tools. Look at them: nothing clipped, nothing overlapping.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

bash scripts/setup.sh
BUILD_DIR=${TESMAR_BUILD_DIR:-build-release}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESMAR_TESTS=OFF -DTESMAR_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" --target tesmar_screenshots DCC32 BRCC32 tesmar-build
BIN="$ROOT/$BUILD_DIR/bin"

DEMO="${TMPDIR:-/tmp}/tesmar-screenshots-demo"
bash scripts/prepare-demo.sh "$DEMO"

export PATH="$BIN:$PATH"
export QT_QPA_PLATFORM=offscreen
mkdir -p docs/screenshots
(cd "$DEMO" && "$BIN/tesmar_screenshots" "$DEMO" "$ROOT/docs/screenshots")
