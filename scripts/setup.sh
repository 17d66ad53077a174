#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
# Idempotent; works as root or through sudo.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  # checks of the installation, the reports and the Debian packages
  dpkg-dev desktop-file-utils appstream libxml2-utils groff-base
)
# The Windows cross-compiler that test.sh builds the Windows path with, the
# GoogleTest sources its tests are built with, and Wine that runs them. The
# Windows installer needs makensis besides, and its check and the pictures of
# the Windows window an X display.
WINDOWS=(g++-mingw-w64-x86-64-posix googletest wine64)
for option in "$@"; do
  case "$option" in
  --with-windows) PACKAGES+=("${WINDOWS[@]}") ;;
  --with-windows-installer) PACKAGES+=("${WINDOWS[@]}" nsis xvfb xauth) ;;
  --with-windows-screen) PACKAGES+=("${WINDOWS[@]}" xvfb xauth) ;;
  *)
    echo "usage: $0 [--with-windows | --with-windows-installer | --with-windows-screen]..." >&2
    exit 2
    ;;
  esac
done

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
