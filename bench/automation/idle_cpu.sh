#!/usr/bin/env bash
# Idle CPU of the program on vdrive's main screen, automation off against
# automation on with a client watching DisplayChanged (sorvanel-ctl expect,
# waiting for a text that never comes). Each round starts both programs side
# by side, offscreen, each on its own settings file and its own vdrive at the
# line's pace, so whatever else the machine does falls on both alike; after
# SETTLE seconds both are measured over the same SECONDS_MEASURED: utime and
# stime from /proc/PID/stat (clock ticks) and the sum over
# /proc/PID/task/*/schedstat (ns on the CPU), as % of one core. dbus-monitor
# counts the DisplayChanged signals on the bus meanwhile (a monitor: the
# program sends the same with or without it). Prints each round and the
# medians.
#
# Usage: bench/automation/idle_cpu.sh [BUILD_FOLDER]   (default: build-perf, then build)
# Environment (optional): SECONDS_MEASURED=20, SETTLE=3, ROUNDS=5, KEEP_LOGS=0
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-}
if [ -z "$build" ]; then
  build=$root/build-perf
  [ -x "$build/sorvanel" ] || build=$root/build
fi
SECONDS_MEASURED=${SECONDS_MEASURED:-20}
SETTLE=${SETTLE:-3}
ROUNDS=${ROUNDS:-5}
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
# utime and stime of the whole process, in clock ticks (fields 14 and 15).
cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" | awk '{print $12, $13}'; }
# ns on the CPU, every thread.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d\n", s}'; }
percent() { awk -v v="$1" -v per_second="$2" -v s="$SECONDS_MEASURED" \
  'BEGIN {printf "%.3f", 100 * v / per_second / s}'; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
ctl() { "$build/sorvanel-ctl" --instance "$@"; }

declare -A program stat sched user system
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq 1 "$ROUNDS"); do
  for mode in off on; do
    port=IDLE_${mode}_$round
    "$build/vdrive" --name "$port" >"$work/vdrive-$port.log" 2>&1 &
    pids+=("$!")
    for _ in $(seq 100); do [ -e "$XDG_RUNTIME_DIR/sorvanel/ports/$port" ] && break; sleep 0.1; done
    args=(--settings "$work/idle_${mode}_$round.ini" --port "$port")
    [ "$mode" = on ] && args+=(--automation)
    QT_QPA_PLATFORM=offscreen "$build/sorvanel" "${args[@]}" >"$work/$port.log" 2>&1 &
    program[$mode]=$!
    pids+=("$!")
  done
  instance=idle_on_$round
  for _ in $(seq 100); do ctl "$instance" read >/dev/null 2>&1 && break; sleep 0.1; done
  ctl "$instance" expect 2 Alapjel --timeout 30 >/dev/null
  # The watching client: waits longer than the measurement for a text that never comes.
  ctl "$instance" expect 1 "never shown" --timeout $((SECONDS_MEASURED + SETTLE + 30)) \
    >/dev/null 2>&1 &
  pids+=("$!")
  sleep "$SETTLE"
  dbus-monitor --session "type='signal',interface='org.sorvanel.Panel1',member='DisplayChanged'" \
    >"$work/round-$round.monitor" 2>&1 &
  pids+=("$!")
  declare -A start_user start_system start_ns
  for mode in off on; do
    read -r "start_user[$mode]" "start_system[$mode]" < <(cpu_ticks "${program[$mode]}")
    start_ns[$mode]=$(cpu_ns "${program[$mode]}")
  done
  sleep "$SECONDS_MEASURED"
  for mode in off on; do
    read -r end_user end_system < <(cpu_ticks "${program[$mode]}")
    end_ns=$(cpu_ns "${program[$mode]}")
    user[$mode.$round]=$((end_user - start_user[$mode]))
    system[$mode.$round]=$((end_system - start_system[$mode]))
    stat[$mode.$round]=$(percent $((user[$mode.$round] + system[$mode.$round])) "$ticks_per_second")
    sched[$mode.$round]=$(percent $((end_ns - start_ns[$mode])) 1000000000)
  done
  stop
  signals=$(grep -c 'member=DisplayChanged' "$work/round-$round.monitor" || true)
  for mode in off on; do
    printf 'round %d, automation %-3s: %s %% (stat: %d user + %d system ticks), %s %% (schedstat)\n' \
      "$round" "$mode" "${stat[$mode.$round]}" "${user[$mode.$round]}" \
      "${system[$mode.$round]}" "${sched[$mode.$round]}"
  done
  echo "round $round: $signals DisplayChanged on the bus while measured"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
for mode in off on; do
  stat_median=$(for r in $(seq 1 "$ROUNDS"); do echo "${stat[$mode.$r]}"; done | median)
  sched_median=$(for r in $(seq 1 "$ROUNDS"); do echo "${sched[$mode.$r]}"; done | median)
  user_median=$(for r in $(seq 1 "$ROUNDS"); do echo "${user[$mode.$r]}"; done | median)
  echo "automation $mode: median $stat_median % of one core (stat; user ticks $user_median)," \
    "$sched_median % (schedstat), over $SECONDS_MEASURED s, $ROUNDS rounds"
done
