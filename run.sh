#!/usr/bin/env bash
# Installs what is missing, builds the program, builds the bundled demo
# project headless, and then, where a display is available, opens the window
# on the demo project.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/setup.sh

BUILD_DIR=${TESMAR_BUILD_DIR:-build-release}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESMAR_TESTS=OFF -DTESMAR_BENCH=OFF
cmake --build "$BUILD_DIR"

BIN="$PWD/$BUILD_DIR/bin"
DEMO="${TMPDIR:-/tmp}/tesmar-demo"
status=0
bash scripts/run-demo.sh "$BIN" || status=$?

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  # The window's catalogue for this run names the demo alone.
  printf '[Projects]\r\ndemo=%s\r\n' "$DEMO" > "$DEMO/tesmar.ini"
  echo
  echo "Opening the window on the demo project."
  PATH="$BIN:$PATH" TESMAR_INI="$DEMO/tesmar.ini" exec "$BIN/tesmar"
fi
exit "$status"
