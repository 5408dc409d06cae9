#!/bin/sh
# Renders the program icon at the usual sizes of the hicolor theme from its SVG (needs
# ImageMagick). The PNGs are kept in the repository, so building needs no renderer.
set -e
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    convert -background none -density $((size * 3 / 2)) org.dosarion.TutorBench.svg -resize ${size}x${size} \
        -strip "PNG32:org.dosarion.TutorBench-$size.png"
done
