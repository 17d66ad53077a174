#!/usr/bin/env bash
# Installs what is missing, builds the test configuration with warnings as
# errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

bash scripts/setup.sh

BUILD_DIR=${TESMAR_BUILD_DIR:-build-test}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESMAR_WERROR=ON
cmake --build "$BUILD_DIR"
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
