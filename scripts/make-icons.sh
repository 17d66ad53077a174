#!/usr/bin/env bash
# Makes the PNG sizes of the application icon from its SVG (rsvg-convert, from
# Debian's librsvg2-bin). Run after changing src/app/icons/tesmar.svg and
# commit the results.
set -euo pipefail
cd "$(dirname "$0")/../src/app/icons"
for size in 16 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" tesmar.svg --output "tesmar-$size.png"
done
