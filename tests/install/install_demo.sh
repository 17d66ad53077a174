#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds the demo project with the
# installed programs alone: the installed tesmar-build, the installed stand-in
# tools (the only ones on the PATH), the installed master copies and the
# per-user catalogue. Nothing of the source or build tree is used on the way.
#
#   install_demo.sh <source dir> <build dir> <project version>
set -euo pipefail
SOURCE=$1
BUILD=$2
VERSION=$3

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/tesmar-install.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
PREFIX=$SCRATCH/prefix
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$BUILD" --prefix "$PREFIX" > "$SCRATCH/install.log"

for f in bin/tesmar-build libexec/tesmar/DCC32.exe libexec/tesmar/BRCC32.exe libexec/tesmar/DemoStep share/tesmar/demo/Files.ini \
  share/tesmar/Default.Files share/tesmar/Default.config share/tesmar/Default.ver share/tesmar/Default.DPKConfig \
  share/tesmar/Default.mask share/tesmar/Default.before share/tesmar/Default.after; do
  [ -e "$PREFIX/$f" ] || fail "$f is not installed"
done
if [ -f "$SOURCE/docs/manual/tesmar.html" ]; then
  [ -f "$PREFIX/share/tesmar/manual/tesmar.html" ] || fail "the manual is not installed"
fi
[ ! -e "$PREFIX/share/tesmar/Default.path" ] || fail "Default.path has no built-in content and no master copy"
# Master copies as the store writes files: every line ended by CR LF.
[ "$(od -An -c "$PREFIX/share/tesmar/Default.before" | tr -s ' ')" = " n o n e \r \n" ] ||
  fail "Default.before is not the single line none"
[ "$(grep -c $'\r$' "$PREFIX/share/tesmar/Default.mask")" = 43 ] || fail "Default.mask has not 43 CR LF lines"

# A mark in the installed master mask shows that the new project took it.
sed -i '2s/\r$/ (installed master copy)\r/' "$PREFIX/share/tesmar/Default.mask"

# The demo, relocated as scripts/run-demo.sh does it, and named in the
# catalogue of the user's configuration directory.
DEMO=$SCRATCH/projects/demo
mkdir -p "$SCRATCH/projects" "$SCRATCH/home" "$SCRATCH/config/tesmar"
cp -R "$PREFIX/share/tesmar/demo" "$DEMO"
replacement=$(printf '%s' "$DEMO" | sed -e 's/[\\&|]/\\&/g')
grep -rlF --exclude=README.md '@DEMO@' "$DEMO" | while IFS= read -r file; do
  sed -i -e "s|@DEMO@|$replacement|g" "$file"
done
printf '[Projects]\r\nTesmar demo=%s\r\n' "$DEMO" > "$SCRATCH/config/tesmar/tesmar.ini"

installed() {
  (cd "$SCRATCH/projects" && env -i HOME="$SCRATCH/home" XDG_CONFIG_HOME="$SCRATCH/config" LANG=C.UTF-8 \
    PATH="$PREFIX/bin:$PREFIX/libexec/tesmar:/usr/bin:/bin" "$@")
}

status=0
installed tesmar-build --json "$SCRATCH/report.json" "demo" > "$SCRATCH/out.txt" 2> "$SCRATCH/err.txt" || status=$?
cat "$SCRATCH/out.txt"
[ "$status" = 0 ] || fail "the demo build ended with status $status: $(cat "$SCRATCH/err.txt")"
tail -n 1 "$SCRATCH/out.txt" | grep -q '^Final result is 4 OK, 0 ERR\.' || fail "not every demo entry was built"
[ "$(grep -c '"result": "OK"' "$SCRATCH/report.json")" = 4 ] || fail "the report does not hold four OK entries"
grep -q 'Resourcemask.rc (installed master copy)' "$DEMO/Default.mask" ||
  fail "the demo's Default.mask is not the installed master copy"
[ ! -e "$PREFIX/bin/tesmar.ini" ] || fail "the installed program wrote beside itself"

# The target carries the version that the installed tools compiled into it.
installed tesmar-build --version-of "$DEMO/bin/DemoApp.exe" | grep -qx 'FileVersion = 1.2.0.42' ||
  fail "DemoApp.exe does not carry the demo's version"
[ "$(installed tesmar-build --version | head -n 1)" = "FileVersion = $VERSION.0" ] ||
  fail "tesmar-build --version does not give version $VERSION"
echo "installed demo build: OK"
