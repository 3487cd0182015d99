#!/usr/bin/env bash
# How long a 100-step recipe takes on vdrive --fast, played by sorvanel-ctl
# through a program with automation on (offscreen), on a private session bus:
# 50 taps of UP on the main screen, each followed by an expect of the new
# set-point on line 2 ("Alapjel  25.1 Hz", ...). ROUNDS runs, each from a
# freshly started vdrive and program; prints each run and the median in ms.
#
# Usage: bench/automation/recipe_run.sh [BUILD_FOLDER]   (default: build-perf, then build)
# Environment (optional): ROUNDS=5, KEEP_LOGS=0
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
  build=$root/build-perf
  [ -x "$build/sorvanel" ] || build=$root/build
fi
ROUNDS=${ROUNDS:-5}
KEEP_LOGS=${KEEP_LOGS:-0}
for program in sorvanel vdrive sorvanel-ctl; do
  [ -x "$build/$program" ] || { echo "recipe_run.sh: no $build/$program" >&2; exit 1; }
done

# Everything below runs on a bus of its own, never the desktop's.
if [ -z "${RECIPE_BENCH_PRIVATE_BUS:-}" ]; then
  RECIPE_BENCH_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$build"
fi

work=$(mktemp -d /tmp/sorvanel-recipe-bench.XXXXXX)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
pids=()
stop() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
trap 'stop; if [ "$KEEP_LOGS" = 1 ]; then echo "logs: $work"; else rm -rf "$work"; fi' EXIT

recipe=$work/hundred-steps.recipe
{
  echo "# 100 steps: UP raises vdrive's set-point by 0.1 Hz on the main screen."
  for i in $(seq 1 50); do
    echo "press UP"
    awk -v i="$i" 'BEGIN { printf "expect 2 \"Alapjel %5.1f Hz\"\n", 25 + i / 10 }'
  done
} >"$recipe"

ctl() { "$build/sorvanel-ctl" --instance bench "$@"; }

times=()
for round in $(seq 1 "$ROUNDS"); do
  "$build/vdrive" --fast --name BENCH1 >"$work/vdrive-$round.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -e "$XDG_RUNTIME_DIR/sorvanel/ports/BENCH1" ] && break; sleep 0.1; done
  rm -f "$work/bench.ini" "$work/bench.mem"
  QT_QPA_PLATFORM=offscreen "$build/sorvanel" --automation --settings "$work/bench.ini" \
    --port BENCH1 >"$work/sorvanel-$round.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 300); do ctl read >/dev/null 2>&1 && break; sleep 0.1; done
  ctl expect 2 "Alapjel  25.0 Hz" --timeout 30 >/dev/null
  start=$(date +%s%N)
  ctl run "$recipe"
  end=$(date +%s%N)
  times+=($(((end - start) / 1000000)))
  echo "run $round: ${times[-1]} ms"
  stop
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}')
echo "100-step recipe on vdrive --fast: median $median ms over $ROUNDS runs ($((median * 10)) us a step)"
