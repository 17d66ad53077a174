#!/usr/bin/env bash
# Makes the Windows installer and zip of a cross build with CPack, installs
# the installer silently into a fresh Wine prefix, runs the installed
# tesmar-build.exe and builds the demo with the installed tesmar.exe alone
# (unattended, with the installed stand-in tools), then uninstalls and checks
# that nothing the installer put in place is left.
#
#   windows_installer.sh <build dir> <project version> <wine64> <wineserver>
#
# Wine makes windows only on an X display, as Windows has its desktop: without
# one the check runs on a virtual display of its own (xvfb-run).
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || {
    echo "FAIL: no X display and no xvfb-run (scripts/setup.sh --with-windows-installer installs it)" >&2
    exit 1
  }
  exec xvfb-run -a bash "$0" "$@"
fi
BUILD=$1
VERSION=$2
WINE=$3
WINESERVER=$4

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/tesmar-nsis.XXXXXX")
export WINEPREFIX=$SCRATCH/wineprefix
cleanup() {
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$SCRATCH"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# A machine of its own: its own prefix and home, no menu entries made for
# the desktop of the machine that runs this.
export HOME=$SCRATCH/home XDG_CONFIG_HOME=$SCRATCH/home/.config XDG_DATA_HOME=$SCRATCH/home/.local/share
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$HOME"
win() { "$WINE" "$@" </dev/null 2>&1 | tr -d '\r'; }
# Wine's name for a file of this machine: its drive Z: is the root directory.
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }

(cd "$SCRATCH" && cpack -G "NSIS;ZIP" --config "$BUILD/CPackConfig.cmake" -B "$SCRATCH/out" > "$SCRATCH/cpack.log" 2>&1) ||
  fail "cpack: $(cat "$SCRATCH/cpack.log")"
INSTALLER=$SCRATCH/out/tesmar-$VERSION-win64.exe
ZIP=$SCRATCH/out/tesmar-$VERSION-win64.zip
[ -f "$INSTALLER" ] && [ -f "$ZIP" ] || fail "packages missing: $(ls "$SCRATCH/out")"

# What an installation holds, as the zip lists it.
cmake -E tar tf "$ZIP" | sed -e 's|^[^/]*/||' -e '/\/$/d' -e '/^$/d' | sort > "$SCRATCH/files"
for f in tesmar.exe tesmar-build.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
  libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll Default.mask Default.Files manual/tesmar.html \
  demo/Files.ini tools/DCC32.exe tools/BRCC32.exe tools/DemoStep.exe; do
  grep -qxF "$f" "$SCRATCH/files" || fail "the installation lacks $f"
done
! grep -q -e '^platforms/qoffscreen' -e '\.lock$' "$SCRATCH/files" || fail "the installation holds test files"

"$WINE" wineboot --init </dev/null >/dev/null 2>&1 || fail "no Wine prefix"
"$WINESERVER" -w
win "$(winpath "$INSTALLER")" /S > "$SCRATCH/install.log" || fail "the installer failed: $(cat "$SCRATCH/install.log")"
"$WINESERVER" -w
DIR="$WINEPREFIX/drive_c/Program Files/Tesmar"
INSTDIR='C:\Program Files\Tesmar'
while IFS= read -r f; do
  [ -f "$DIR/$f" ] || fail "$f was not installed"
done < "$SCRATCH/files"
[ -f "$DIR/Uninstall.exe" ] || fail "no uninstaller"
MENU="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Delphi Tesmar Tool"
for link in "Delphi Tesmar Tool" "Tesmar manual" Uninstall; do
  [ -f "$MENU/$link.lnk" ] || fail "no Start menu entry $link"
done

[ "$(win "$INSTDIR\\tesmar-build.exe" --version | head -n 1)" = "FileVersion = $VERSION.0" ] ||
  fail "the installed tesmar-build.exe --version does not give version $VERSION"

# The installed demo, relocated as scripts/prepare-demo.sh does it, built by
# the installed window unattended with the installed stand-in tools.
DEMO=$SCRATCH/projects/demo
mkdir -p "$SCRATCH/projects"
cp -R "$DIR/demo" "$DEMO"
grep -rlF --exclude=README.md '@DEMO@' "$DEMO" | while IFS= read -r file; do
  DEMO_NAME=$(winpath "$DEMO") perl -pi -e \
    's{\@DEMO\@([^\]=\r\n]*)}{my $rest = $1; $rest =~ s!/!\\!g; $ENV{DEMO_NAME} . $rest}ge' "$file"
done
printf '[Projects]\r\nTesmar demo=%s\r\n' "$(winpath "$DEMO")" > "$SCRATCH/tesmar.ini"
status=0
(cd "$SCRATCH/projects" && TESMAR_INI=$(winpath "$SCRATCH/tesmar.ini") WINEPATH="$INSTDIR\\tools" \
  "$WINE" "$INSTDIR\\tesmar.exe" demo </dev/null > "$SCRATCH/demo.log" 2>&1) || status=$?
[ "$status" = 0 ] || fail "tesmar.exe demo ended with status $status: $(tr -d '\r' < "$SCRATCH/demo.log")"
tr -d '\r' < "$DEMO/Summary.log" | grep -q '^Final result is 4 OK, 0 ERR\.' || fail "not every demo entry was built"
! tr -d '\r' < "$DEMO/Events.log" | grep -E ' line [0-9]+ failed: ' || fail "a processing line failed"
win "$INSTDIR\\tesmar-build.exe" --version-of "$(winpath "$DEMO/bin/DemoApp.exe")" | grep -qx 'FileVersion = 1.2.0.42' ||
  fail "DemoApp.exe does not carry the demo's version"

win "$INSTDIR\\Uninstall.exe" /S > "$SCRATCH/uninstall.log" || fail "the uninstaller failed"
# The uninstaller runs on from a copy of itself: the server ends after it.
"$WINESERVER" -w
[ ! -e "$DIR" ] || fail "the uninstaller left $(cd "$DIR" && find . -type f | head -n 5)"
[ ! -e "$MENU" ] || fail "the uninstaller left the Start menu entries"
! win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tesmar' >/dev/null ||
  fail "the uninstaller left its registry entry"
echo "Windows installer: installed, built the demo, uninstalled: OK"
