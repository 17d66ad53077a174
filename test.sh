#!/usr/bin/env bash
# Installs what is missing, builds the test configuration with warnings as
# errors, checks that the Windows path still builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/setup.sh --with-windows

BUILD_DIR=${TESMAR_BUILD_DIR:-build-test}
WIN_DIR=${TESMAR_WIN_BUILD_DIR:-build-win}
case $WIN_DIR in
  /*) WIN_BIN=$WIN_DIR/bin ;;
  *) WIN_BIN=$PWD/$WIN_DIR/bin ;;
esac
# The tests read the version resources of the Windows build's executables.
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESMAR_WERROR=ON -DTESMAR_WINDOWS_BIN_DIR="$WIN_BIN"
cmake --build "$BUILD_DIR"

# The Windows path: the core, the tools and the command-line front end must
# cross-compile without a warning.
cmake -S . -B "$WIN_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DTESMAR_GUI=OFF -DTESMAR_TESTS=OFF -DTESMAR_BENCH=OFF -DTESMAR_WERROR=ON
cmake --build "$WIN_DIR"
echo "Windows cross-build: OK"

cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
