#!/usr/bin/env bash
# Checks what desktops and manual readers take from an installation: the
# desktop entry, the AppStream metainfo, the manual pages and the icon sizes.
#
#   desktop_data.sh <source dir> <build dir>
set -euo pipefail
SOURCE=$1
BUILD=$2
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

out=$(desktop-file-validate "$SOURCE/data/org.tesmar.Tesmar.desktop" 2>&1) || fail "desktop entry: $out"
[ -z "$out" ] || fail "desktop entry: $out"

appstreamcli validate --no-net "$BUILD/data/org.tesmar.Tesmar.metainfo.xml" ||
  fail "metainfo does not validate"

for page in tesmar tesmar-build; do
  file=$BUILD/data/man/$page.1
  warnings=$(groff -man -Tutf8 -ww -z "$file" 2>&1)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
  groff -man -Tutf8 -P-cbou "$file" 2> /dev/null | grep -q '^NAME' || fail "$page.1 has no NAME section"
done
groff -man -Tascii -P-cbou "$BUILD/data/man/tesmar-build.1" 2> /dev/null | grep -q -- '--junit FILE' ||
  fail "tesmar-build.1 does not describe --junit"

# The PNG sizes of the icon: the signature, and width and height in the header.
for size in 16 32 48 64 128 256; do
  png=$SOURCE/src/app/icons/tesmar-$size.png
  header=$(od -An -tx1 -N24 "$png" | tr -d ' \n')
  [ "${header:0:16}" = 89504e470d0a1a0a ] || fail "$png is no PNG"
  [ $((16#${header:32:8})) = "$size" ] && [ $((16#${header:40:8})) = "$size" ] ||
    fail "$png is not $size by $size"
done
echo "desktop entry, metainfo, manual pages and icons: OK"
