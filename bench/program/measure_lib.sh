# shellcheck shell=bash disable=SC2034,SC2154
# Helpers of bench/program/run.sh: starting and stopping the processes under
# measurement, reading /proc, parsing outputs, printing the summary. Expects
# run.sh's variables: work, build_dir, R.

declare -A drive_pid program_pid
# Extra command-line arguments of the program, by variant (none unless a script sets them).
declare -A program_args
started=()

note() { printf '== %s\n' "$*" >&2; }

fail() {
  printf 'run.sh: %s\n' "$1" >&2
  [ -n "${2:-}" ] && [ -f "$2" ] && tail -20 "$2" >&2
  exit 1
}

# wait_for_line FILE PATTERN SECONDS: true once a line of FILE matches.
wait_for_line() {
  local file=$1 pattern=$2 tenths=$(($3 * 10))
  while ((tenths-- > 0)); do
    grep -q -- "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# wait_until SECONDS COMMAND: true once COMMAND succeeds.
wait_until() {
  local tenths=$(($1 * 10))
  while ((tenths-- > 0)); do
    eval "$2" && return 0
    sleep 0.1
  done
  return 1
}

wait_pid() { wait "$1" 2>/dev/null || true; }

# Ends a process this script started: SIGTERM, then SIGKILL after 10 s.
stop_pid() {
  local pid=$1 tenths=100
  kill -TERM "$pid" 2>/dev/null || true
  while kill -0 "$pid" 2>/dev/null && ((tenths-- > 0)); do sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

stop_all() {
  local pid
  for pid in "${started[@]}"; do
    kill -0 "$pid" 2>/dev/null && stop_pid "$pid"
  done
  return 0
}

# start_drive VARIANT KEY OPTIONS...: program_drive in the background, log
# $work/KEY.drive.log, pid in drive_pid[KEY]; returns once its port exists.
start_drive() {
  local v=$1 key=$2
  local log=$work/$key.drive.log
  shift 2
  "${build_dir[$v]}/program_drive" "$@" >"$log" 2>&1 &
  drive_pid[$key]=$!
  started+=("$!")
  wait_for_line "$log" "^drive: port" 10 || fail "program_drive did not start" "$log"
}

# start_program VARIANT PORT [SETTINGS]: a copy of the program in its own
# folder whose settings file names PORT (after the lines SETTINGS, if given),
# on the offscreen platform, with the variant's program_args; pid in
# program_pid[PORT].
start_program() {
  local v=$1 port=$2 settings=${3:+$3$'\n'}
  local folder=$work/prog-$port
  mkdir -p "$folder"
  cp "${build_dir[$v]}/sorvanel" "$folder/sorvanel"
  printf '%s[Sorvanel]\nPort=%s\n' "$settings" "$port" >"$folder/sorvanel.ini"
  # shellcheck disable=SC2086
  QT_QPA_PLATFORM=offscreen "$folder/sorvanel" ${program_args[$v]:-} >"$work/prog-$port.log" 2>&1 &
  program_pid[$port]=$!
  started+=("$!")
}

program_has_open() {
  local fd
  for fd in /proc/"$1"/fd/*; do
    [ "$(readlink "$fd" 2>/dev/null)" = "$2" ] && return 0
  done
  return 1
}

vmrss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }

kb_to_mb() { awk -v kb="$1" 'BEGIN { if (kb == "") print "-"; else printf "%.1f", kb / 1024 }'; }

# One line per thread: tid, ns on the CPU, ns waiting for a CPU (run queue),
# context switches, name.
thread_sample() {
  local task run delay switches
  for task in /proc/"$1"/task/*; do
    read -r run delay _ <"$task/schedstat" 2>/dev/null || continue
    switches=$(awk '/^(non)?voluntary_ctxt_switches:/ { s += $2 } END { print s + 0 }' \
      "$task/status" 2>/dev/null) || continue
    printf '%s %s %s %s %s\n' "${task##*/}" "$run" "$delay" "$switches" \
      "$(cat "$task/comm" 2>/dev/null)"
  done
}

# measure_cpu PID SECONDS NAME VARIANT THREADFILE: CPU of every thread of PID
# over SECONDS as % of one core, and its context switches per second, into
# R[NAME_cpu.VARIANT] and R[NAME_wake.VARIANT]. THREADFILE gets a line per
# thread ("main" is the main thread): CPU %, run-queue wait % and wake-ups/s.
measure_cpu() {
  local pid=$1 seconds=$2 name=$3 v=$4 out=$5 t0 t1
  thread_sample "$pid" >"$out.before"
  t0=$(date +%s%N)
  sleep "$seconds"
  thread_sample "$pid" >"$out.after"
  t1=$(date +%s%N)
  awk -v span=$((t1 - t0)) -v main="$pid" '
    NR == FNR { run[$1] = $2; delay[$1] = $3; sw[$1] = $4; next }
    {
      dr = $2 - run[$1]; dd = $3 - delay[$1]; ds = $4 - sw[$1]
      tr += dr; td += dd; ts += ds
      printf "%-8s %-16s cpu %% %9.3f wait %% %9.3f wake-ups/s %8.1f\n", ($1 == main ? "main" : $1),
        $5, 100 * dr / span, 100 * dd / span, ds * 1e9 / span
    }
    END {
      printf "%-8s %-16s cpu %% %9.3f wait %% %9.3f wake-ups/s %8.1f\n", "all", "-",
        100 * tr / span, 100 * td / span, ts * 1e9 / span
    }
  ' "$out.before" "$out.after" >"$out"
  R[${name}_cpu.$v]=$(awk '$1 == "all" { print $5 }' "$out")
  R[${name}_wake.$v]=$(awk '$1 == "all" { print $10 }' "$out")
}

# per_message THREADFILE THREAD COLUMN RATE: microseconds per message of a
# thread's "cpu" (5) or "wait" (8) share at RATE messages per second.
per_message() {
  awk -v t="$2" -v c="$3" -v rate="$4" '
    $1 == t && rate > 0 { printf "%.1f", $c / 100 * 1e6 / rate }' "$1"
}

# field FILE NAME: the value of the line "NAME: value".
field() { sed -n "s/^$2: //p" "$1" | tail -1; }

# turnaround_fields FILE PREFIX KEY: the turnaround p50, p99 and max that a
# measuring drive or vdrive printed into FILE, as R[PREFIXp50.KEY] and so on.
turnaround_fields() {
  local figure
  for figure in p50 p99 max; do
    R[$2$figure.$3]=$(field "$1" "turnaround $figure ms")
  done
}

# csv_field FILE BENCHMARK COLUMN: a column of Google Benchmark's CSV.
csv_field() {
  awk -F, -v name="\"$2\"" -v col="$3" '
    $1 == name { v = $col + 0; print (v == int(v) ? v : sprintf("%.1f", v)) }' "$1"
}

# startup_median LOG SECTION KEY: median of KEY=n over the runs of SECTION.
startup_median() {
  awk -v section="$2:" -v key="$3" '
    /^[a-z]+:$/ { inside = ($0 == section); next }
    inside { for (i = 1; i <= NF; ++i) if (split($i, kv, "=") == 2 && kv[1] == key) print kv[2] }
  ' "$1" | sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print "-" }'
}

machine_info() {
  R[cpu_model]=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
  R[cores]=$(nproc)
  R[kernel]=$(uname -r)
}

# ratio A B: B / A with two decimals, or "-".
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN {
    if (a + 0 > 0 && b ~ /^[0-9.]+$/) printf "%.2f", b / a; else print "-" }'
}

row() {
  local label=$1 goal=$2 key=$3
  printf '%-44s %-12s %10s %10s %8s\n' "$label" "$goal" "${R[$key.poll]:--}" \
    "${R[$key.blind]:--}" "$(ratio "${R[$key.poll]:-}" "${R[$key.blind]:-}")"
}

print_summary() {
  echo
  echo "Machine: ${R[cpu_model]}, ${R[cores]} cores, kernel ${R[kernel]}"
  echo "Load average (1, 5, 15 min): before ${R[load_before]}, after ${R[load_after]};" \
    "measuring took ${R[minutes]} min"
  echo "poll = as shipped (worker waits in poll()); blind = baseline (worker sleeps 1 ms per pass)"
  echo
  printf '%-44s %-12s %10s %10s %8s\n' "Figure" "Goal" "poll" "blind" "blind/poll"
  row "turnaround p50, program_drive (ms)" "<= 0.3" turn_p50
  row "turnaround p99, program_drive (ms)" "<= 2" turn_p99
  row "turnaround max, program_drive (ms)" "" turn_max
  row "  answered" "" turn_n
  row "  answers later than 2 ms" "" turn_over2
  row "  unanswered" "0" turn_lost
  row "  invalid answers" "0" turn_bad
  row "turnaround p50, vdrive --fast (ms)" "<= 0.3" vd_p50
  row "turnaround p99, vdrive --fast (ms)" "<= 2" vd_p99
  row "turnaround max, vdrive --fast (ms)" "" vd_max
  row "  vdrive messages per s" "" vd_rate
  row "  vdrive time-outs (incl. start)" "" vd_timeouts
  row "idle CPU (% of one core)" "<= 0.2" idle_cpu
  row "idle wake-ups per s" "" idle_wake
  row "full line rate CPU, 1-char writes (%)" "" line_cpu
  row "full line rate wake-ups/s, 1-char writes" "" line_wake
  row "  messages per s at line rate" "" line_rate
  row "  turnaround p50 at line rate (ms)" "" line_p50
  row "  turnaround p99 at line rate (ms)" "" line_p99
  row "  main thread CPU per message (us)" "" line_main_us
  row "  main thread run-queue wait per msg (us)" "" line_main_wait_us
  row "  other threads CPU per message (us)" "" line_other_us
  row "full line rate, 8-char writes: CPU (%)" "" line8_cpu
  row "full line rate, 8-char writes: wake-ups/s" "" line8_wake
  row "start to first paint, offscreen (ms)" "<= 300" paint_off
  row "VmRSS after start, offscreen (MB)" "<= 60" rss_off
  row "start to first paint, Xvfb (ms)" "<= 300" paint_x
  row "VmRSS after start, Xvfb (MB)" "<= 60" rss_x
  row "VmRSS program, port open, first answer (MB)" "<= 60" rss_first
  row "VmRSS after 1000 messages (MB)" "" rss_1k
  row "VmRSS after ${HOUR_MESSAGES} messages (MB)" "no growth" rss_hour
  row "  messages answered in that run" "" mem_n
  row "  messages per s in that run" "" mem_s
  row "Kelvo compile, CPU time (ns)" "<= 30" compile_ns
  row "Kelvo check of 22 characters, CPU (ns)" "<= 40" check_ns
  row "Kelvo compile, wall time (ns)" "" compile_wall
  row "Kelvo check of 22 characters, wall (ns)" "" check_wall
  row "heap allocations in those calls" "0" allocs
  local v run
  for v in poll blind; do
    for run in idle line line8; do
      echo
      echo "Threads of the $v build, $run run (main = main thread; wait = run-queue wait):"
      cat "$work/$run-$v.threads" 2>/dev/null || echo "(not measured)"
    done
  done
}
