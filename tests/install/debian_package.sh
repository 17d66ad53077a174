#!/usr/bin/env bash
# Builds the Debian packages with CPack, checks their file lists and control
# data, and, as root, installs them, runs the installed tesmar-build and
# removes them again. The machine is left as it was: nothing is installed when
# a tesmar package or program is there already, and two runs never overlap.
#
#   debian_package.sh <build dir> <project version> <GUI ON|OFF>
set -euo pipefail
BUILD=$1
VERSION=$2
GUI=$3

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/tesmar-deb.XXXXXX")
cleanup() { rm -rf "$SCRATCH"; }
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$SCRATCH" && cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$SCRATCH/out" > "$SCRATCH/cpack.log" 2>&1) ||
  fail "cpack: $(cat "$SCRATCH/cpack.log")"
ARCH=$(dpkg --print-architecture)
MAIN=$SCRATCH/out/tesmar_${VERSION}_$ARCH.deb
DEMO=$SCRATCH/out/tesmar-demo_${VERSION}_$ARCH.deb
[ -f "$MAIN" ] && [ -f "$DEMO" ] || fail "packages missing: $(ls "$SCRATCH/out")"

dpkg-deb -c "$MAIN" | awk '{print $6}' > "$SCRATCH/main.files"
dpkg-deb -c "$DEMO" | awk '{print $6}' > "$SCRATCH/demo.files"
expect() {  # list file...
  local list=$1
  shift
  for f in "$@"; do grep -qx "$f" "$SCRATCH/$list.files" || fail "$list package lacks $f"; done
}
expect main ./usr/bin/tesmar-build ./usr/share/tesmar/Default.Files ./usr/share/tesmar/Default.mask \
  ./usr/share/applications/org.tesmar.Tesmar.desktop ./usr/share/metainfo/org.tesmar.Tesmar.metainfo.xml \
  ./usr/share/man/man1/tesmar.1 ./usr/share/man/man1/tesmar-build.1 \
  ./usr/share/icons/hicolor/scalable/apps/tesmar.svg ./usr/share/icons/hicolor/48x48/apps/tesmar.png
[ "$GUI" = ON ] && expect main ./usr/bin/tesmar
expect demo ./usr/libexec/tesmar/DCC32.exe ./usr/libexec/tesmar/BRCC32.exe ./usr/libexec/tesmar/DemoStep ./usr/share/tesmar/demo/Files.ini
if grep -q -e '/libexec/' -e '/demo/' "$SCRATCH/main.files"; then fail "the demo is in the main package"; fi
if grep -q -e '/bin/tesmar' "$SCRATCH/demo.files"; then fail "the programs are in the demo package"; fi

field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$MAIN" Package)" = tesmar ] || fail "package name"
[ "$(field "$MAIN" Version)" = "$VERSION" ] || fail "package version"
[ "$(field "$MAIN" Architecture)" = "$ARCH" ] || fail "package architecture"
depends=$(field "$MAIN" Depends)
for lib in 'libc6 (>= ' 'libstdc++6 (>= ' 'libgcc-s1 (>= '; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done
if [ "$GUI" = ON ] && [[ "$depends" != *libqt6widgets6* ]]; then fail "Depends lacks Qt: $depends"; fi
[[ "$(field "$DEMO" Depends)" == *"tesmar (= $VERSION)"* ]] || fail "the demo package does not depend on tesmar"
echo "tesmar package: $(stat -c %s "$MAIN") bytes, Depends: $depends"
echo "tesmar-demo package: $(stat -c %s "$DEMO") bytes"

if [ "$(id -u)" != 0 ]; then
  echo "not root: the packages are not installed"
  exit 0
fi
exec 9> "${TMPDIR:-/tmp}/tesmar-debian-package-test.lock"
flock 9
if dpkg-query -W -f='${Status}' tesmar tesmar-demo 2> /dev/null | grep -q installed ||
  [ -e /usr/bin/tesmar-build ] || [ -e /usr/bin/tesmar ]; then
  echo "Tesmar is installed on this machine already: the packages are not installed"
  exit 0
fi
trap 'dpkg --purge tesmar-demo tesmar > /dev/null 2>&1 || true; cleanup' EXIT
dpkg -i "$MAIN" "$DEMO" > "$SCRATCH/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$SCRATCH/dpkg.log")"
[ "$(/usr/bin/tesmar-build --version | head -n 1)" = "FileVersion = $VERSION.0" ] ||
  fail "the installed tesmar-build does not give version $VERSION"
[ -x /usr/libexec/tesmar/DCC32.exe ] || fail "the installed stand-in compiler is missing"
dpkg -r tesmar-demo tesmar > "$SCRATCH/dpkg.log" 2>&1 || fail "dpkg -r: $(cat "$SCRATCH/dpkg.log")"
[ ! -e /usr/bin/tesmar-build ] || fail "tesmar-build is still there after removal"
echo "installed, ran tesmar-build --version and removed the packages: OK"
