#!/bin/sh
# Renders the wizard's PNG icons from org.zhangtao.wizard.svg (rsvg-convert, package
# librsvg2-bin). The PNGs are kept in the repository so that a build needs no renderer.
set -eu
cd "$(dirname "$0")"
for size in 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" org.zhangtao.wizard.svg > "zhangtao-$size.png"
done
