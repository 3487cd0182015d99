#!/usr/bin/env bash
# Measures the program as a whole, built twice: as shipped (the port worker
# waits in poll()) and with the blind-sleep baseline (the worker sleeps 1 ms
# per pass, SORVANEL_BLIND_POLL_BASELINE=ON). For each build, in one run:
#   1. reply turnaround against program_drive (display-line messages at line
#      pace, random 2-20 ms gaps) and against vdrive --fast --stats;
#   2. CPU and wake-ups with the port open and no traffic;
#   3. CPU and wake-ups at full line rate (program_drive, line pace, no gaps),
#      with characters written one by one and in pieces of 8;
#   4. start to first paint and VmRSS after start (bench/window probe);
#   5. VmRSS after an hour's worth of messages (program_drive --fast);
#   6. Kelvo compile and check per call (protocol_bench).
# Then prints a summary with the baseline beside it. docs/performance.md
# explains every figure.
#
# Usage: bench/program/run.sh
# Environment (optional):
#   MESSAGES=10000        measured messages of run 1
#   HOUR_MESSAGES=100000  messages of run 5 (an hour at line pace)
#   VDRIVE_SECONDS=10     length of the vdrive run
#   CPU_SECONDS=10        length of each CPU measurement
#   SIDE_BY_SIDE=1        runs 1 and 5 drive both builds at the same time
#                         (0: one after the other, about twice as long)
#   SKIP_BUILD=0          1: measure the builds as they are
#   JOBS=2                parallel build jobs
#   PERF_BUILD, BLIND_BUILD   build folders (default build-perf, build-perf-blind)
#   KEEP_LOGS=0           1: keep the logs folder and print its path
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
MESSAGES=${MESSAGES:-10000}
HOUR_MESSAGES=${HOUR_MESSAGES:-100000}
VDRIVE_SECONDS=${VDRIVE_SECONDS:-10}
CPU_SECONDS=${CPU_SECONDS:-10}
SIDE_BY_SIDE=${SIDE_BY_SIDE:-1}
SKIP_BUILD=${SKIP_BUILD:-0}
JOBS=${JOBS:-2}
KEEP_LOGS=${KEEP_LOGS:-0}
declare -A build_dir=([poll]=${PERF_BUILD:-$root/build-perf} [blind]=${BLIND_BUILD:-$root/build-perf-blind})
declare -A baseline_flag=([poll]=OFF [blind]=ON)
variants=(poll blind)
targets=(sorvanel vdrive program_drive protocol_bench window_startup_probe)

# shellcheck source-path=SCRIPTDIR source=measure_lib.sh
source "$root/bench/program/measure_lib.sh"

work=$(mktemp -d /tmp/sorvanel-perf.XXXXXX)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
trap 'stop_all; if [ "$KEEP_LOGS" = 1 ]; then echo "logs: $work"; else rm -rf "$work"; fi' EXIT
declare -A R  # results: R[name.variant]

build() {
  local v
  for v in "${variants[@]}"; do
    note "building $v into ${build_dir[$v]}"
    cmake -S "$root" -B "${build_dir[$v]}" -DCMAKE_BUILD_TYPE=Release -DSORVANEL_SANITIZE=OFF \
      -DSORVANEL_BLIND_POLL_BASELINE="${baseline_flag[$v]}" -DBUILD_TESTING=OFF >/dev/null
    cmake --build "${build_dir[$v]}" --target "${targets[@]}" -j"$JOBS" >"$work/build-$v.log" 2>&1 ||
      { tail -30 "$work/build-$v.log" >&2; exit 1; }
  done
}

# Run 1a for 'v': program_drive, line pace, gaps 2-20 ms. Starts it and the
# program; turnaround_finish collects the numbers.
turnaround_start() {
  local v=$1
  start_drive "$v" "turn-$v" --name "TURN_$v" --messages "$MESSAGES" --gap-ms 2-20 --wait 60 \
    --times "$work/turn-$v.times"
  start_program "$v" "TURN_$v"
}
turnaround_finish() {
  local v=$1
  local log=$work/turn-$v.drive.log
  wait_pid "${drive_pid[turn-$v]}"
  stop_pid "${program_pid[TURN_$v]}"
  turnaround_fields "$log" turn_ "$v"
  R[turn_n.$v]=$(field "$log" "answered")
  R[turn_lost.$v]=$(field "$log" "unanswered")
  R[turn_bad.$v]=$(field "$log" "invalid answers")
  R[turn_over2.$v]=$(awk '$2 != "-" && $2 > 2 { n++ } END { print n + 0 }' "$work/turn-$v.times")
}

# Run 1b: vdrive --fast --stats for VDRIVE_SECONDS; vdrive's own numbers.
vdrive_run() {
  local v=$1
  local log=$work/vdrive-$v.log pid
  "${build_dir[$v]}/vdrive" --name "VD_$v" --fast --stats --duration "$VDRIVE_SECONDS" >"$log" 2>&1 &
  pid=$!
  started+=("$pid")
  wait_for_line "$log" "port VD_$v" 10 || fail "vdrive did not register its port" "$log"
  start_program "$v" "VD_$v"
  wait_pid "$pid"
  stop_pid "${program_pid[VD_$v]}"
  turnaround_fields "$log" vd_ "$v"
  R[vd_rate.$v]=$(field "$log" "messages per s")
  R[vd_answers.$v]=$(field "$log" "answers")
  R[vd_timeouts.$v]=$(field "$log" "time-outs")
}

# Run 2: the port open, nobody writing.
idle_run() {
  local v=$1
  local pid slave
  start_drive "$v" "idle-$v" --name "IDLE_$v" --silent $((CPU_SECONDS + 60))
  slave=$(sed -n 's/^drive: port [^ ]* on \([^ ]*\) .*/\1/p' "$work/idle-$v.drive.log")
  start_program "$v" "IDLE_$v"
  pid=${program_pid[IDLE_$v]}
  wait_until 20 "program_has_open $pid $slave" || fail "the program did not open $slave" \
    "$work/prog-IDLE_$v.log"
  sleep 2
  measure_cpu "$pid" "$CPU_SECONDS" idle "$v" "$work/idle-$v.threads"
  stop_pid "$pid"
  stop_pid "${drive_pid[idle-$v]}"
}

# Run 3: program_drive at line pace without gaps; 'run' names the figures
# (line: characters one by one; line8: written 8 at a time).
line_rate_run() {
  local v=$1 run=$2 chunk=$3
  local pid log=$work/$run-$v.drive.log
  start_drive "$v" "$run-$v" --name "${run^^}_$v" --duration $((CPU_SECONDS + 2)) --gap-ms 0 \
    --chunk "$chunk" --wait 60
  start_program "$v" "${run^^}_$v"
  pid=${program_pid[${run^^}_$v]}
  wait_for_line "$log" "drive: answering" 60 || fail "no answer at line rate" "$log"
  sleep 1
  measure_cpu "$pid" "$CPU_SECONDS" "$run" "$v" "$work/$run-$v.threads"
  wait_pid "${drive_pid[$run-$v]}"
  stop_pid "$pid"
  [ "$run" = line ] || return 0
  R[line_rate.$v]=$(field "$log" "messages per s")
  turnaround_fields "$log" line_ "$v"
  local threads=$work/line-$v.threads rate=${R[line_rate.$v]}
  R[line_main_us.$v]=$(per_message "$threads" main 5 "$rate")
  R[line_main_wait_us.$v]=$(per_message "$threads" main 8 "$rate")
  R[line_other_us.$v]=$(awk -v rate="$rate" '$1 != "main" && $1 != "all" { s += $5 }
    END { if (rate > 0) printf "%.1f", s / 100 * 1e6 / rate }' "$threads")
}

# Run 4: the window's start-up probe, five starts offscreen and under Xvfb.
startup_run() {
  local v=$1
  local log=$work/startup-$v.log
  bash "$root/bench/window/measure_startup.sh" "${build_dir[$v]}" >"$log" 2>&1 ||
    fail "start-up probe failed" "$log"
  R[paint_off.$v]=$(startup_median "$log" offscreen first_paint_ms)
  R[rss_off.$v]=$(kb_to_mb "$(startup_median "$log" offscreen vmrss_kb)")
  R[paint_x.$v]=$(startup_median "$log" xvfb first_paint_ms)
  R[rss_x.$v]=$(kb_to_mb "$(startup_median "$log" xvfb vmrss_kb)")
}

# Run 5: an hour's worth of messages as fast as the program answers. A
# watcher reads VmRSS at the first answer, after 1000 messages and at the end.
declare -A watch_pid
memory_start() {
  local v=$1
  start_drive "$v" "mem-$v" --name "MEM_$v" --fast --gap-ms 0 --messages "$HOUR_MESSAGES" \
    --report-every 1000 --wait 60
  start_program "$v" "MEM_$v"
  memory_watch "$v" &
  watch_pid[$v]=$!
}
memory_watch() {
  local v=$1
  local log=$work/mem-$v.drive.log pid=${program_pid[MEM_$v]} out=$work/mem-$v.rss
  wait_for_line "$log" "^drive: answering" 60 && echo "first $(vmrss_kb "$pid")" >>"$out"
  wait_for_line "$log" "^drive: exchanged 1000$" 120 && echo "1k $(vmrss_kb "$pid")" >>"$out"
  # The drive prints its figures as it ends (a zombie still answers kill -0).
  wait_for_line "$log" "^turnaround max ms" $((HOUR_MESSAGES / 50 + 600)) &&
    echo "end $(vmrss_kb "$pid")" >>"$out"
}
memory_finish() {
  local v=$1
  local log=$work/mem-$v.drive.log out=$work/mem-$v.rss
  wait_pid "${watch_pid[$v]}"
  wait_pid "${drive_pid[mem-$v]}"
  stop_pid "${program_pid[MEM_$v]}"
  grep -q "^drive: answering" "$log" || fail "no answer in the memory run" "$log"
  R[rss_first.$v]=$(kb_to_mb "$(awk '$1 == "first" { print $2 }' "$out")")
  R[rss_1k.$v]=$(kb_to_mb "$(awk '$1 == "1k" { print $2 }' "$out")")
  R[rss_hour.$v]=$(kb_to_mb "$(awk '$1 == "end" { print $2 }' "$out")")
  R[mem_n.$v]=$(field "$log" "answered")
  R[mem_s.$v]=$(field "$log" "messages per s")
}

# Run 6: Kelvo per call (time on the CPU; wall time in the log).
protocol_run() {
  local v=$1
  local log=$work/protocol-$v.csv
  "${build_dir[$v]}/protocol_bench" --benchmark_filter='BM_CompileMessage$|BM_Check/8$' \
    --benchmark_format=csv >"$log" 2>/dev/null || fail "protocol_bench failed" "$log"
  R[compile_ns.$v]=$(csv_field "$log" BM_CompileMessage 4)
  R[check_ns.$v]=$(csv_field "$log" BM_Check/8 4)
  R[compile_wall.$v]=$(csv_field "$log" BM_CompileMessage 3)
  R[check_wall.$v]=$(csv_field "$log" BM_Check/8 3)
  R[allocs.$v]=$(($(csv_field "$log" BM_CompileMessage 11) + $(csv_field "$log" BM_Check/8 11)))
}

# Runs 'step' for each build, or starts both and then finishes both.
both() {
  local start=$1 finish=$2 v
  if [ "$SIDE_BY_SIDE" = 1 ]; then
    for v in "${variants[@]}"; do "$start" "$v"; done
    for v in "${variants[@]}"; do "$finish" "$v"; done
  else
    for v in "${variants[@]}"; do "$start" "$v" && "$finish" "$v"; done
  fi
}

main() {
  [ "$SKIP_BUILD" = 1 ] || build
  machine_info
  R[load_before]=$(cut -d' ' -f1-3 /proc/loadavg)
  local begun=$SECONDS v
  note "run 1: turnaround, $MESSAGES messages per build (side by side: $SIDE_BY_SIDE)"
  both turnaround_start turnaround_finish
  for v in "${variants[@]}"; do
    note "run 1b/2/3/4/6 for $v"
    vdrive_run "$v"
    idle_run "$v"
    line_rate_run "$v" line 1
    line_rate_run "$v" line8 8
    startup_run "$v"
    protocol_run "$v"
  done
  note "run 5: $HOUR_MESSAGES messages per build"
  both memory_start memory_finish
  R[load_after]=$(cut -d' ' -f1-3 /proc/loadavg)
  R[minutes]=$(awk -v s=$((SECONDS - begun)) 'BEGIN { printf "%.1f", s / 60 }')
  print_summary
}

main "$@"
