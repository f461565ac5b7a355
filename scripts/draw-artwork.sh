#!/usr/bin/env bash
# Redraws the window pictures into resources/Images/ and the contact sheet
# docs/screenshots/artwork.png (every picture at 1x and 1.5x, and sample widgets styled by the
# real style sheets at factors 1.0 and 1.5). Commit the pictures it changes.
# Usage: scripts/draw-artwork.sh   (uses build/, or VX_BUILD_DIR)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VX_BUILD_DIR:-$here/build}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target vx_artwork -j4
QT_QPA_PLATFORM=offscreen "$build/resources/artwork/vx_artwork" \
  --images "$here/resources/Images" \
  --sheets "$here/resources" \
  --contact-sheet "$here/docs/screenshots/artwork.png"
echo "pictures written to $here/resources/Images"
