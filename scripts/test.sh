#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Xvfb.
# Usage: scripts/test.sh [--sanitize address,undefined|thread] [ctest arguments...]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sanitize=""
if [ "${1:-}" = "--sanitize" ]; then
  sanitize="$2"
  shift 2
fi
build="$here/build"
cmake_args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ -n "$sanitize" ]; then
  build="$here/build-${sanitize//,/-}"
  cmake_args+=(-DDRAVIK_SANITIZE="$sanitize" -DDRAVIK_BUILD_BENCH=OFF -DDRAVIK_BUILD_EXAMPLES=OFF)
fi

mkdir -p "$build"
"$here/scripts/setup.sh" "$build" "${cmake_args[@]}"

export NO_AT_BRIDGE=1
export GTEST_COLOR=no
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1 suppressions=$here/scripts/tsan.supp}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1 halt_on_error=1}"
cd "$build"
# -a picks a free display; the screen is large enough for every window test.
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  ctest --output-on-failure --timeout 600 "$@"
