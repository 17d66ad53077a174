#!/usr/bin/env bash
# Installs what is missing, builds the test configuration with warnings as
# errors, cross-builds the Windows path with its tests (the window's too where
# Qt for MinGW-w64 is in its cache), builds the demo project with both, and
# runs every test: the native ones, then the Windows ones under Wine.
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

# The window on Windows needs Qt for MinGW-w64, which Debian does not ship:
# scripts/build-qt-mingw.sh builds it once into a cache (about an hour on two
# cores). Without that cache the window's Windows build is left out, unless
# TESMAR_WINDOWS_GUI=1 asks for the cache to be built.
if QT_MINGW=$(bash scripts/build-qt-mingw.sh --prefix); then
  :
elif [ "${TESMAR_WINDOWS_GUI:-0}" = 1 ]; then
  bash scripts/build-qt-mingw.sh
  QT_MINGW=$(bash scripts/build-qt-mingw.sh --prefix)
else
  QT_MINGW=""
  echo "Windows window: skipped, no Qt for MinGW-w64 in the cache (TESMAR_WINDOWS_GUI=1 ./test.sh builds it, about an hour)"
fi
WIN_GUI=(-DTESMAR_GUI=OFF -DTESMAR_QT_MINGW=)
if [ -n "$QT_MINGW" ]; then
  WIN_GUI=(-DTESMAR_GUI=ON "-DTESMAR_QT_MINGW=$QT_MINGW")
  # The Windows installer is made with makensis.
  bash scripts/setup.sh --with-windows-installer
fi

# The Windows path: the core, the tools, the command-line front end, the
# window where Qt is there, and their tests cross-compile without a warning;
# the tests run under wine64, in a Wine prefix of the build directory.
cmake -S . -B "$WIN_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  "${WIN_GUI[@]}" -DTESMAR_BENCH=OFF -DTESMAR_WERROR=ON
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
