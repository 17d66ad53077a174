#!/usr/bin/env bash
# Builds Qt for Windows (x86_64 MinGW-w64) from Debian's own source package of
# qtbase, the same version as the host tools of qt6-base-dev-tools, and
# installs it into a cache prefix that the Windows build of the window finds:
#   ${TESMAR_QT_MINGW:-${XDG_CACHE_HOME:-~/.cache}/tesmar/qt-<version>-mingw}
# Only what the program and its tests use is built: QtCore, QtGui, QtWidgets,
# QtTest, and the Windows and offscreen platform plugins.
#
# Idempotent: a finished cache (its stamp file names the version and the
# configuration) is reused at once. The first run takes about an hour on two
# cores. Prints the prefix as its last line.
#
#   scripts/build-qt-mingw.sh            builds the cache unless it is there
#   scripts/build-qt-mingw.sh --prefix   prints the prefix of a finished cache,
#                                        or fails (status 1) without one
set -euo pipefail
ONLY_PREFIX=0
case "${1:-}" in
--prefix) ONLY_PREFIX=1 ;;
"") ;;
*)
  echo "usage: $0 [--prefix]" >&2
  exit 2
  ;;
esac
cd "$(dirname "$0")/.."
PROJECT_DIR=$PWD

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# The host tools must be those of the version built.
VERSION=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null || true)
if [ -z "$VERSION" ] && [ "$ONLY_PREFIX" = 1 ]; then
  exit 1
elif [ -z "$VERSION" ]; then
  bash scripts/setup.sh --with-windows
  VERSION=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
fi
UPSTREAM=${VERSION%%+*}
UPSTREAM=${UPSTREAM#*:}
PREFIX=${TESMAR_QT_MINGW:-${XDG_CACHE_HOME:-$HOME/.cache}/tesmar/qt-$UPSTREAM-mingw}

# What the stamp records: a change of any of it builds again.
CONFIG_ID="qtbase $VERSION; $(sha256sum "$PROJECT_DIR/cmake/mingw-w64-x86_64.cmake" | cut -c1-16); features 3"
STAMP="$PREFIX/.tesmar-qt-complete"
if [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "$CONFIG_ID" ]; then
  [ "$ONLY_PREFIX" = 1 ] || echo "Qt $UPSTREAM for MinGW: cached"
  echo "$PREFIX"
  exit 0
fi
[ "$ONLY_PREFIX" = 0 ] || exit 1

# The build tools and the cross-compiler.
NEEDED=(dpkg-dev g++-mingw-w64-x86-64-posix cmake ninja-build qt6-base-dev-tools perl python3)
missing=()
for p in "${NEEDED[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# apt-get source needs a deb-src line for the suite the binaries come from.
SRC_LIST=/etc/apt/sources.list.d/tesmar-deb-src.sources
if ! apt-cache showsrc qt6-base >/dev/null 2>&1 || ! apt-cache showsrc qt6-base | grep -q "^Version: $VERSION\$"; then
  CODENAME=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  $SUDO tee "$SRC_LIST" >/dev/null <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $CODENAME $CODENAME-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $CODENAME-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  $SUDO apt-get update -qq
fi

WORK=${TESMAR_QT_MINGW_WORK:-$PREFIX.work}
mkdir -p "$WORK"
cd "$WORK"

# The source package, fetched once; each of its files is checked against the
# checksums of its .dsc before anything is unpacked.
DSC=$(ls qt6-base_*.dsc 2>/dev/null | head -n1 || true)
if [ -z "$DSC" ] || ! grep -q "^Version: $VERSION\$" "$DSC"; then
  rm -rf qt6-base_* qtbase-src
  apt-get source --download-only "qt6-base=$VERSION"
  DSC=$(ls qt6-base_*.dsc | head -n1)
fi
echo "Verifying $DSC"
awk '/^Checksums-Sha256:/ {on=1; next} /^[^ ]/ {on=0} on && NF == 3 {print $1 "  " $3}' "$DSC" > sha256.list
[ -s sha256.list ] || { echo "no SHA-256 checksums in $DSC" >&2; exit 1; }
sha256sum --strict --check sha256.list

if [ ! -f qtbase-src/.unpacked ]; then
  rm -rf qtbase-src
  dpkg-source --no-check -x "$DSC" qtbase-src >/dev/null
  touch qtbase-src/.unpacked
fi

# Everything but what the program uses is left out. OpenGL stays on: this
# version's Windows platform plugin does not compile without it. The bundled
# third-party libraries are used (the system's are Linux libraries), and the
# tablet events need a Windows header that Debian's source leaves out.
cmake -S qtbase-src -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PROJECT_DIR/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_opengl=ON \
  -DFEATURE_tabletevent=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF -DFEATURE_system_textmarkdownreader=OFF \
  -DFEATURE_system_md4c=OFF -DFEATURE_sql_sqlite=OFF \
  -DINPUT_openssl=no

cmake --build build --parallel "$(nproc)"
rm -rf "$PREFIX"
cmake --install build
echo "$CONFIG_ID" > "$STAMP"

# The build tree is large and no longer needed; the checked source stays for
# a later rebuild.
rm -rf build
echo "Qt $UPSTREAM for MinGW installed"
echo "$PREFIX"
