#!/usr/bin/env bash
# Screenshots of the real program under Xvfb, started as the README says (scripts/run.sh), at the
# display factors 1.0 and 1.5: the home page, each kind's page, finished rows with their sizes and
# rates, and the history window. Written to docs/screenshots/. Usage: scripts/screenshots.sh
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$here/scripts/setup.sh"
for factor in 1.0 1.5; do
  case "$factor" in
    1.0) dpi=96 ;;
    1.5) dpi=144 ;;
  esac
  QT_FONT_DPI=$dpi xvfb-run -a -s "-screen 0 1920x1300x24 -dpi $dpi" \
    bash "$here/scripts/screenshot-session.sh" "$factor"
done
echo "screenshots written to $here/docs/screenshots/"
