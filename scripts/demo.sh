#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo host program against its
# embedded simulated farm. Without a display it runs under Xvfb, saves its
# screenshots (default: demo-screenshots/ in the working folder) and exits.
# Usage: scripts/demo.sh [--screenshots DIR] [demo arguments...]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build"
mkdir -p "$build"
"$here/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo

screenshots=""
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --screenshots) screenshots="$2"; shift 2 ;;
    --screenshots=*) screenshots="${1#*=}"; shift ;;
    *) args+=("$1"); shift ;;
  esac
done

export NO_AT_BRIDGE=1
demo="$build/examples/demo/dravik-demo"
if [ -z "${DISPLAY:-}" ] || [ -n "$screenshots" ]; then
  [ -n "$screenshots" ] || screenshots="$PWD/demo-screenshots"
  mkdir -p "$screenshots"
  screenshots="$(cd "$screenshots" && pwd)"
  runner=()
  [ -z "${DISPLAY:-}" ] && runner=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp")
  "${runner[@]}" "$demo" --screenshots "$screenshots" "${args[@]+"${args[@]}"}"
  echo "Screenshots saved in $screenshots:"
  ls -1 "$screenshots"
else
  exec "$demo" "${args[@]+"${args[@]}"}"
fi
