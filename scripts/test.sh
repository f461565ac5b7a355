#!/usr/bin/env bash
# Sets up (packages, build with warnings as errors) and runs every test. With --sanitize, builds and
# tests under AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
if [ "${1:-}" = "--sanitize" ]; then
  build="$here/build-asan"
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  VX_BUILD_DIR="$build" VX_BUILD_TYPE=Debug VX_CMAKE_ARGS="-DVX_SANITIZE=ON -DVX_WERROR=ON" bash "$here/scripts/setup.sh"
else
  VX_BUILD_DIR="$build" VX_CMAKE_ARGS="-DVX_WERROR=ON" bash "$here/scripts/setup.sh"
fi
ctest --test-dir "$build" --output-on-failure -j"${VX_TEST_JOBS:-4}"
