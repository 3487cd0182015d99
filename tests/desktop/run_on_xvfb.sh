#!/usr/bin/env bash
# Runs a test program on a real X server: Xvfb with the openbox window
# manager and keyboard auto-repeat on, as a user's desktop has them.
#   run_on_xvfb.sh PROGRAM [ARGS...]
set -euo pipefail

numberFile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
xvfb=$!
wm=""
trap 'kill $wm $xvfb 2>/dev/null || true; wait 2>/dev/null || true; rm -f "$numberFile"' EXIT
for _ in $(seq 200); do
  [ -s "$numberFile" ] && break
  sleep 0.05
done
[ -s "$numberFile" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$numberFile")"
openbox >/dev/null 2>&1 &
wm=$!
# Until openbox owns the screen, windows would map undecorated.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done
xset r on
xset r rate 250 30

export QT_QPA_PLATFORM=xcb
# Under X, system libraries (D-Bus) keep allocations to the end of the process: the leak check
# stays on and passes over those libraries only.
suppressions="$(cd "$(dirname "$0")/.." && pwd)/lsan.supp"
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
"$@"
