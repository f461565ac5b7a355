#!/usr/bin/env bash
# Sets up (packages, build) and runs every test; a compiler warning in the build fails it, as an error
# would. With --sanitize, builds and tests under AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/.
#
# The build takes the same flags as scripts/run.sh's, so the objects that run.sh compiled into build/
# serve here too; the warnings are those of what this build compiles (in CI, everything).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
compiler_said="$(mktemp)"
trap 'rm -f "$compiler_said"' EXIT
if [ "${1:-}" = "--sanitize" ]; then
  build="$here/build-asan"
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  VX_BUILD_DIR="$build" VX_BUILD_TYPE=Debug VX_CMAKE_ARGS="-DVX_SANITIZE=ON -DVX_WERROR=OFF" \
    VX_BUILD_LOG="$compiler_said" bash "$here/scripts/setup.sh"
else
  VX_BUILD_DIR="$build" VX_CMAKE_ARGS="-DVX_WERROR=OFF" VX_BUILD_LOG="$compiler_said" bash "$here/scripts/setup.sh"
fi
if grep -q ': warning: ' "$compiler_said"; then
  echo "test: the build has compiler warnings, which count as errors here:" >&2
  grep ': warning: ' "$compiler_said" | sort -u >&2
  exit 1
fi
ctest --test-dir "$build" --output-on-failure -j"${VX_TEST_JOBS:-4}"
