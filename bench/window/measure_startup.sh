#!/usr/bin/env bash
# Measures the window's start: time from process start to the first paint of
# the main window and resident memory after start, five runs each on the
# offscreen platform and under Xvfb. Goals: <= 300 ms and <= 60 MB.
# Usage: bench/window/measure_startup.sh [build folder, default build]
set -euo pipefail
build=${1:-build}
probe="$build/window_startup_probe"
[ -x "$probe" ] || { echo "build the target window_startup_probe first" >&2; exit 1; }

run() {
  for _ in 1 2 3 4 5; do "$@" "$probe" 2>/dev/null; done
}

echo "offscreen:"
QT_QPA_PLATFORM=offscreen run env
if command -v xvfb-run >/dev/null; then
  echo "xvfb:"
  run xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb
fi
