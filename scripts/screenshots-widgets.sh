#!/usr/bin/env bash
# Renders the list row in each state, the message dialog and the history window into
# docs/screenshots/ at the display factors 1.0 and 1.5 (logical DPI 96 and 144).
# Usage: scripts/screenshots-widgets.sh [build folder]   (after a build; default: build/)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
out="$here/docs/screenshots"
mkdir -p "$out"
for dpi in 96 144; do
  QT_QPA_PLATFORM=offscreen QT_FONT_DPI=$dpi LC_ALL=C.UTF-8 VX_SCREENSHOT_DIR="$out" \
    "$build/bin/tst_screenshots"
done
ls -l "$out"
