#!/usr/bin/env bash
# What the line monitor costs the program: the same measurements as run.sh's
# runs 1a and 3 (turnaround against program_drive; CPU at full line rate,
# characters one by one and in pieces of 8) for three programs, one after
# the other, ROUNDS times in turn so background load falls on all three:
#   before  the program before the line monitor existed (BEFORE_REF)
#   closed  the program as shipped, monitor closed (nothing attached to the link)
#   open    the same program started with --monitor (monitor window open and
#           receiving every frame and answer)
# Every figure is CPU time from /proc (schedstat), which other work on the
# machine moves less than wall time. docs/performance.md has the results.
#
# Usage: BEFORE_REF=<commit> bench/program/monitor_cost.sh
# Environment (optional):
#   BEFORE_REF            commit to build as "before" (or BEFORE_BUILD: a built folder)
#   MESSAGES=3000         measured messages of each turnaround run
#   CPU_SECONDS=10        length of each CPU measurement
#   ROUNDS=2              rounds over the three programs
#   SKIP_BUILD=0, JOBS=2, PERF_BUILD (default build-perf), KEEP_LOGS=0
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
MESSAGES=${MESSAGES:-3000}
CPU_SECONDS=${CPU_SECONDS:-10}
ROUNDS=${ROUNDS:-2}
SKIP_BUILD=${SKIP_BUILD:-0}
JOBS=${JOBS:-2}
KEEP_LOGS=${KEEP_LOGS:-0}
PERF_BUILD=${PERF_BUILD:-$root/build-perf}
targets=(sorvanel program_drive)

# shellcheck source-path=SCRIPTDIR source=measure_lib.sh
source "$root/bench/program/measure_lib.sh"

work=$(mktemp -d /tmp/sorvanel-monitor-cost.XXXXXX)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
trap 'stop_all; if [ "$KEEP_LOGS" = 1 ]; then echo "logs: $work"; else rm -rf "$work"; fi' EXIT
declare -A R
BEFORE_BUILD=${BEFORE_BUILD:-$work/before-build}
declare -A build_dir=([before]=$BEFORE_BUILD [closed]=$PERF_BUILD [open]=$PERF_BUILD)
program_args=([before]="" [closed]="" [open]="--monitor")
variants=(before closed open)

configure_and_build() {
  local source=$1 folder=$2
  cmake -S "$source" -B "$folder" -DCMAKE_BUILD_TYPE=Release -DSORVANEL_SANITIZE=OFF \
    -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$folder" --target "${targets[@]}" -j"$JOBS" >"$work/build.log" 2>&1 ||
    { tail -30 "$work/build.log" >&2; exit 1; }
}

build() {
  note "building the program as shipped into $PERF_BUILD"
  configure_and_build "$root" "$PERF_BUILD"
  if [ ! -x "$BEFORE_BUILD/sorvanel" ]; then
    [ -n "${BEFORE_REF:-}" ] || fail "set BEFORE_REF (a commit) or BEFORE_BUILD (a built folder)"
    note "building $BEFORE_REF into $BEFORE_BUILD"
    mkdir -p "$work/before-source"
    git -C "$root" archive "$BEFORE_REF" | tar -x -C "$work/before-source"
    configure_and_build "$work/before-source" "$BEFORE_BUILD"
  fi
}

# Turnaround, program_drive at line pace with gaps of 2-20 ms.
turnaround_run() {
  local v=$1 r=$2 key=turn-$1-$2
  start_drive "$v" "$key" --name "T_${v}_$r" --messages "$MESSAGES" --gap-ms 2-20 --wait 60
  start_program "$v" "T_${v}_$r"
  wait_pid "${drive_pid[$key]}"
  stop_pid "${program_pid[T_${v}_$r]}"
  turnaround_fields "$work/$key.drive.log" "" "$v.$r"
}

# CPU at full line rate, written 'chunk' characters at a time.
cpu_run() {
  local v=$1 r=$2 chunk=$3 key=cpu$3-$1-$2 port=C${3}_${1}_$2 pid rate
  start_drive "$v" "$key" --name "$port" --duration $((CPU_SECONDS + 2)) --gap-ms 0 \
    --chunk "$chunk" --wait 60
  start_program "$v" "$port"
  pid=${program_pid[$port]}
  wait_for_line "$work/$key.drive.log" "drive: answering" 60 ||
    fail "no answer at line rate" "$work/$key.drive.log"
  sleep 1
  measure_cpu "$pid" "$CPU_SECONDS" "c$chunk" "$v.$r" "$work/$key.threads"
  wait_pid "${drive_pid[$key]}"
  stop_pid "$pid"
  rate=$(field "$work/$key.drive.log" "messages per s")
  R[main$chunk.$v.$r]=$(per_message "$work/$key.threads" main 5 "$rate")
}

mean() {
  local name=$1 v=$2 r values=()
  for ((r = 1; r <= ROUNDS; ++r)); do values+=("${R[$name.$v.$r]:-}"); done
  printf '%s\n' "${values[@]}" | awk '/^[0-9.]+$/ { s += $1; n++ }
    END { if (n) printf "%.3f", s / n; else print "-" }'
}

summary_row() {
  local label=$1 name=$2 v line
  line=$(printf '%-46s' "$label")
  for v in "${variants[@]}"; do line+=$(printf ' %10s' "$(mean "$name" "$v")"); done
  echo "$line"
}

main() {
  [ "$SKIP_BUILD" = 1 ] || build
  local load_before r v
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  for ((r = 1; r <= ROUNDS; ++r)); do
    for v in "${variants[@]}"; do
      note "round $r: $v"
      turnaround_run "$v" "$r"
      cpu_run "$v" "$r" 1
      cpu_run "$v" "$r" 8
    done
  done
  echo "load average before: $load_before, after: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "mean of $ROUNDS rounds; CPU in % of one core (all threads of the program)"
  printf '%-46s %10s %10s %10s\n' "figure" before closed open
  summary_row "turnaround p50 (ms)" p50
  summary_row "turnaround p99 (ms)" p99
  summary_row "turnaround max (ms)" max
  summary_row "line rate, one by one: CPU (%)" c1_cpu
  summary_row "line rate, one by one: main thread us/message" main1
  summary_row "line rate, writes of 8: CPU (%)" c8_cpu
  summary_row "line rate, writes of 8: main thread us/message" main8
  echo "per round:"
  for ((r = 1; r <= ROUNDS; ++r)); do
    for v in "${variants[@]}"; do
      echo "  $r $v: p50 ${R[p50.$v.$r]:--} p99 ${R[p99.$v.$r]:--} cpu1 ${R[c1_cpu.$v.$r]:--}" \
        "cpu8 ${R[c8_cpu.$v.$r]:--}"
    done
  done
}

main "$@"
