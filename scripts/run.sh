#!/usr/bin/env bash
# Sets up (packages, build) and starts Vornex.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Only what the program runs, and a compiler's new warning does not stop the build (scripts/test.sh
# builds the rest into the same folder, with the same flags, and fails on a warning).
VX_BUILD_TARGET=vx_runtime VX_CMAKE_ARGS="-DVX_WERROR=OFF" bash "$here/scripts/setup.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Vornex needs a display and none is set (DISPLAY is empty); start it under one, e.g. xvfb-run -a bash scripts/run.sh" >&2
  exit 1
fi
exec "$here/build/bin/Vornix" "$@"
