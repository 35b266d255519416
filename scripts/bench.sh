#!/usr/bin/env bash
# Builds optimised into build-bench/ and runs one benchmark program under Xvfb.
# Usage: scripts/bench.sh NAME [program arguments...]
# NAME picks build-bench/bench/dravik_bench_NAME (declared in bench/CMakeLists.txt
# with dravik_add_bench). Standard output carries one line per figure:
#   BENCH <figure> <value> <unit>
# The build's own output goes to standard error. DRAVIK_BENCH_REPEATS overrides
# the number of runs each median is taken over.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
known="$(sed -n 's/^dravik_add_bench(\([A-Za-z0-9_]*\).*/\1/p' "$here/bench/CMakeLists.txt" | tr '\n' ' ')"
if [ $# -lt 1 ] || [ -z "$1" ]; then
  echo "Usage: scripts/bench.sh NAME [arguments...]; names: $known" >&2
  exit 2
fi
name="$1"
shift
if ! [[ " $known " == *" $name "* ]]; then
  echo "No benchmark named '$name'; names: $known" >&2
  exit 2
fi

build="$here/build-bench"
mkdir -p "$build"
"$here/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DDRAVIK_BUILD_BENCH=ON \
  -DDRAVIK_BUILD_TESTS=OFF -DDRAVIK_BUILD_EXAMPLES=OFF -DDRAVIK_SANITIZE= >&2

export NO_AT_BRIDGE=1
# Later benchmarks draw windows; one display for all keeps them comparable,
# large enough that a 1600 x 1000 view lies wholly on the screen.
xvfb-run -a -s "-screen 0 1920x1200x24 -nolisten tcp" "$build/bench/dravik_bench_$name" "$@"
