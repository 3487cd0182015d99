#!/usr/bin/env bash
# Idle CPU of the program on vdrive's main screen, automation off against
# automation on with a client watching DisplayChanged (sorvanel-ctl expect,
# waiting for a text that never comes). One vdrive at the line's pace; for
# each of ROUNDS rounds the two programs in turn, each freshly started
# offscreen on its own settings file, given SETTLE seconds, then measured for
# SECONDS: utime + stime from /proc/PID/stat (clock ticks) and the sum over
# /proc/PID/task/*/schedstat (ns on the CPU), as % of one core. dbus-monitor
# counts the DisplayChanged signals on the bus meanwhile (a monitor: the
# program sends the same with or without it). Prints each run and the medians.
#
# Usage: bench/automation/idle_cpu.sh [BUILD_FOLDER]   (default: build-perf, then build)
# Environment (optional): SECONDS_MEASURED=20, SETTLE=3, ROUNDS=3, KEEP_LOGS=0
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
  build=$root/build-perf
  [ -x "$build/sorvanel" ] || build=$root/build
fi
SECONDS_MEASURED=${SECONDS_MEASURED:-20}
SETTLE=${SETTLE:-3}
ROUNDS=${ROUNDS:-3}
KEEP_LOGS=${KEEP_LOGS:-0}
for program in sorvanel vdrive sorvanel-ctl; do
  [ -x "$build/$program" ] || { echo "idle_cpu.sh: no $build/$program" >&2; exit 1; }
done

# Everything below runs on a bus of its own, never the desktop's.
if [ -z "${IDLE_CPU_PRIVATE_BUS:-}" ]; then
  # The bus daemon's own notes (a monitor came, the fd limit) are left out.
  IDLE_CPU_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$build" 2> >(grep -v '^dbus-daemon\[' >&2)
fi

work=$(mktemp -d /tmp/sorvanel-idle-cpu.XXXXXX)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
pids=()
stop() {
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
trap 'stop; if [ "$KEEP_LOGS" = 1 ]; then echo "logs: $work"; else rm -rf "$work"; fi' EXIT

ticks_per_second=$(getconf CLK_TCK)
# utime + stime of the whole process, in clock ticks (fields 14 and 15).
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'; }
# ns on the CPU, every thread.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

"$build/vdrive" --name IDLE1 >"$work/vdrive.log" 2>&1 &
vdrive_pid=$!
for _ in $(seq 100); do [ -e "$XDG_RUNTIME_DIR/sorvanel/ports/IDLE1" ] && break; sleep 0.1; done

declare -A ticks ns
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq 1 "$ROUNDS"); do
  for mode in off on; do
    instance=idle_${mode}_$round
    args=(--settings "$work/$instance.ini" --port IDLE1)
    [ "$mode" = on ] && args+=(--automation)
    QT_QPA_PLATFORM=offscreen "$build/sorvanel" "${args[@]}" >"$work/$instance.log" 2>&1 &
    program=$!
    pids+=("$program")
    if [ "$mode" = on ]; then
      for _ in $(seq 100); do
        "$build/sorvanel-ctl" --instance "$instance" read >/dev/null 2>&1 && break
        sleep 0.1
      done
      "$build/sorvanel-ctl" --instance "$instance" expect 2 Alapjel --timeout 30 >/dev/null
      # The watching client: waits longer than the measurement for a text that never comes.
      "$build/sorvanel-ctl" --instance "$instance" expect 1 "never shown" \
        --timeout $((SECONDS_MEASURED + SETTLE + 30)) >/dev/null 2>&1 &
      pids+=("$!")
    fi
    sleep "$SETTLE"
    dbus-monitor --session "type='signal',interface='org.sorvanel.Panel1',member='DisplayChanged'" \
      >"$work/$instance.monitor" 2>&1 &
    pids+=("$!")
    start_ticks=$(cpu_ticks "$program")
    start_ns=$(cpu_ns "$program")
    sleep "$SECONDS_MEASURED"
    end_ticks=$(cpu_ticks "$program")
    end_ns=$(cpu_ns "$program")
    stop
    signals=$(grep -c 'member=DisplayChanged' "$work/$instance.monitor" || true)
    ticks[$mode.$round]=$(awk -v t=$((end_ticks - start_ticks)) -v hz="$ticks_per_second" \
      -v s="$SECONDS_MEASURED" 'BEGIN {printf "%.3f", 100 * t / hz / s}')
    ns[$mode.$round]=$(awk -v n=$((end_ns - start_ns)) -v s="$SECONDS_MEASURED" \
      'BEGIN {printf "%.3f", 100 * n / 1e9 / s}')
    printf 'round %d, automation %-3s: %s %% (stat, %d ticks), %s %% (schedstat), %d DisplayChanged\n' \
      "$round" "$mode" "${ticks[$mode.$round]}" $((end_ticks - start_ticks)) "${ns[$mode.$round]}" \
      "$signals"
  done
done
kill -TERM "$vdrive_pid" 2>/dev/null || true
wait "$vdrive_pid" 2>/dev/null || true
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
for mode in off on; do
  stat_median=$(for r in $(seq 1 "$ROUNDS"); do echo "${ticks[$mode.$r]}"; done | median)
  ns_median=$(for r in $(seq 1 "$ROUNDS"); do echo "${ns[$mode.$r]}"; done | median)
  echo "automation $mode: median $stat_median % of one core (stat), $ns_median % (schedstat)" \
    "over $SECONDS_MEASURED s, $ROUNDS runs"
done
