#!/usr/bin/env bash
# Makes the PNG sizes of the application icon from its SVG (rsvg-convert, from
# Debian's librsvg2-bin), and from them the Windows icon file that the Windows
# programs and the installer carry (icotool, from icoutils). Run after
# changing src/app/icons/tesmar.svg and commit the results.
set -euo pipefail
cd "$(dirname "$0")/../src/app/icons"
for size in 16 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" tesmar.svg --output "tesmar-$size.png"
done
icotool --create --output tesmar.ico tesmar-16.png tesmar-32.png tesmar-48.png --raw=tesmar-256.png
