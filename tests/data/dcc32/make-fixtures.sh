#!/bin/sh
# Remakes the .RES fixtures of the compiler stand-in's tests from the .rc
# files beside this script. Needs the MinGW-w64 windres for i686 and cpp.
set -eu
cd "$(dirname "$0")"
for name in version; do
  i686-w64-mingw32-windres --preprocessor=cpp -c 65001 "$name.rc" -O res -o "$name.res"
done
