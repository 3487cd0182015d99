#!/usr/bin/env bash
# What the panel on the session bus adds to the window's own paths: runs
# automation_bus_latency (bench/automation/main.cpp) on a private session bus
# with a runtime folder of its own, once with the converter at the line's
# pace and once back to back, and prints both tables.
#
# Usage: bench/automation/bus_latency.sh [BUILD_FOLDER]   (default: build-perf, then build)
# Environment (optional): PRESSES=500, FRAMES=500, PACES="line fast"
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
  build=$root/build-perf
  [ -x "$build/automation_bus_latency" ] || build=$root/build
fi
PRESSES=${PRESSES:-500}
FRAMES=${FRAMES:-500}
PACES=${PACES:-line fast}
[ -x "$build/automation_bus_latency" ] ||
  { echo "bus_latency.sh: no $build/automation_bus_latency" >&2; exit 1; }

# Everything below runs on a bus of its own, never the desktop's.
if [ -z "${BUS_LATENCY_PRIVATE_BUS:-}" ]; then
  # The bus daemon's own notes (a monitor came, the fd limit) are left out.
  BUS_LATENCY_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$build" 2> >(grep -v '^dbus-daemon\[' >&2)
fi

work=$(mktemp -d /tmp/sorvanel-bus-latency.XXXXXX)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for pace in $PACES; do
  echo
  "$build/automation_bus_latency" --pace "$pace" --presses "$PRESSES" --frames "$FRAMES"
done
echo
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
