#!/usr/bin/env bash
# Installs what is missing, builds the program, and runs its main job on the
# bundled demo project.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/setup.sh

BUILD_DIR=${TESMAR_BUILD_DIR:-build-release}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESMAR_TESTS=OFF -DTESMAR_BENCH=OFF
cmake --build "$BUILD_DIR"

BIN="$PWD/$BUILD_DIR/bin"
if [ -x "$BIN/tesmar-build" ] && [ -d examples/demo ] && [ -f examples/demo/Files.ini ]; then
  bash scripts/run-demo.sh "$BIN"
else
  # No display: run on the offscreen platform so the program still starts.
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
    echo "No display: starting the program offscreen for 3 seconds."
    timeout 3 "$BIN/tesmar" || true
  else
    exec "$BIN/tesmar"
  fi
fi
