#!/usr/bin/env bash
# Installs what is missing, builds the test configuration with warnings as
# errors, cross-builds the Windows path with its tests, builds the demo
# project with both, and runs every test: the native ones, then the Windows
# ones under Wine.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/setup.sh --with-windows

BUILD_DIR=${TESMAR_BUILD_DIR:-build-test}
WIN_DIR=${TESMAR_WIN_BUILD_DIR:-build-win}
case $WIN_DIR in
  /*) WIN_PATH=$WIN_DIR ;;
  *) WIN_PATH=$PWD/$WIN_DIR ;;
esac
WIN_BIN=$WIN_PATH/bin
# The tests read the version resources of the Windows build's executables.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESMAR_WERROR=ON -DTESMAR_WINDOWS_BIN_DIR="$WIN_BIN"
cmake --build "$BUILD_DIR"

# The Windows path: the core, the tools, the command-line front end and their
# tests cross-compile without a warning; the tests run under wine64, in a Wine
# prefix of the build directory.
cmake -S . -B "$WIN_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DTESMAR_GUI=OFF -DTESMAR_BENCH=OFF -DTESMAR_WERROR=ON
cmake --build "$WIN_DIR"
echo "Windows cross-build: OK"

# One Wine server for everything that follows, ended however this ends.
WINE_RUN="$WIN_PATH/wine-run"
"$WINE_RUN" --server-start
trap '"$WINE_RUN" --server-stop' EXIT

# The demo project builds with every entry and every processing line, with
# the programs of either system.
bash scripts/run-demo.sh --check "$BUILD_DIR/bin"
bash scripts/run-demo.sh --check --wine "$WINE_RUN" "$WIN_DIR/bin"

(cd "$BUILD_DIR" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)")
(cd "$WIN_DIR" && ctest --output-on-failure -j "$(nproc)")
