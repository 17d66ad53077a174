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
# The manual shows a build in progress, and is installed without docs/screenshots.
cp docs/screenshots/main-window-build-in-progress.png docs/manual/

# The Windows picture: the main window after a build and the directory dialog
# of a Windows build, under Wine on an X display (xvfb-run), in Wine's own
# desktop, which draws the windows' frames. It needs Qt for MinGW-w64 in its
# cache (scripts/build-qt-mingw.sh).
if ! QT_MINGW=$(bash scripts/build-qt-mingw.sh --prefix); then
  echo "Windows pictures: skipped, no Qt for MinGW-w64 in the cache (scripts/build-qt-mingw.sh builds it)"
  exit 0
fi
bash scripts/setup.sh --with-windows-screen
WIN_DIR=${TESMAR_WIN_BUILD_DIR:-build-win}
cmake -S . -B "$WIN_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTESMAR_GUI=ON \
  "-DTESMAR_QT_MINGW=$QT_MINGW" -DTESMAR_BENCH=OFF -DTESMAR_WERROR=ON >/dev/null
cmake --build "$WIN_DIR" --target tesmar_screenshots DCC32 BRCC32 tesmar-build wine_prefix
WIN_RUN=$(cd "$WIN_DIR" && pwd)/wine-run
WIN_BIN=$(cd "$WIN_DIR/bin" && pwd)
WIN_DEMO="${TMPDIR:-/tmp}/tesmar-screenshots-demo-windows"
bash scripts/prepare-demo.sh --windows "$WIN_DEMO"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
# A Wine server of the prefix started without the display would keep its
# desktop off it.
"$WIN_RUN" --server-stop
(cd "$WIN_DEMO" && WINEPATH="$(winpath "$WIN_BIN")" timeout 600 xvfb-run -a -s "-screen 0 1280x960x24" \
  "$WIN_RUN" explorer /desktop=tesmar,1200x900 "$(winpath "$WIN_BIN/tesmar_screenshots.exe")" \
  "$(winpath "$WIN_DEMO")" "$(winpath "$ROOT/docs/screenshots")" --screen windows- main-window-after-build select-directory)
"$WIN_RUN" --server-stop
