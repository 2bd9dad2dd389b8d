#!/bin/bash
# Renders bell.mvg to bell.ico with 16, 32 and 48 pixel images (needs ImageMagick). The .ico is
# checked in next to its source so a build needs no image tools.
set -eu
cd "$(dirname "$0")"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
# Draw at 8x, then scale down: small sizes stay smooth.
convert -size 384x384 xc:none -affine 8,0,0,8,0,0 -draw "$(grep -v "^#" bell.mvg)" "$tmp/bell-384.png"
for size in 16 32 48; do
  convert "$tmp/bell-384.png" -filter Lanczos -resize "${size}x${size}" "PNG32:$tmp/bell-$size.png"
done
convert "$tmp/bell-16.png" "$tmp/bell-32.png" "$tmp/bell-48.png" bell.ico
