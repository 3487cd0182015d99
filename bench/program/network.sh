#!/usr/bin/env bash
# Reply turnaround through ser2net on loopback beside the direct
# pseudo-terminal. program_drive plays the drive on a pseudo-terminal
# (display-line messages at line pace, random 2-20 ms gaps) and measures
# from the last byte of each message to the first byte of the answer; the
# program reads that pseudo-terminal
#   direct    through its port map entry, as run.sh's run 1 does;
#   rfc2217   through ser2net, Telnet with the COM port control option;
#   socket    through ser2net, raw TCP;
#   untuned   as rfc2217, with ser2net's defaults: it holds serial data back
#             for up to 20 ms (chardelay) and lets Nagle hold its small
#             packets (no nodelay); the others switch both off, as the
#             README's example does;
# one after the other, on the build as shipped (the port worker waits in
# poll()). docs/performance.md explains the figures.
#
# Usage: bench/program/network.sh
# Environment (optional):
#   MESSAGES=3000   measured messages of each run
#   SKIP_BUILD=0    1: measure the build as it is
#   JOBS=2          parallel build jobs
#   PERF_BUILD      build folder (default build-perf, shared with run.sh)
#   KEEP_LOGS=0     1: keep the logs folder and print its path
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
MESSAGES=${MESSAGES:-3000}
SKIP_BUILD=${SKIP_BUILD:-0}
JOBS=${JOBS:-2}
KEEP_LOGS=${KEEP_LOGS:-0}
declare -A build_dir=([poll]=${PERF_BUILD:-$root/build-perf})
modes=(direct rfc2217 socket untuned)

# shellcheck source-path=SCRIPTDIR source=measure_lib.sh
source "$root/bench/program/measure_lib.sh"

command -v ser2net >/dev/null || fail "ser2net is not installed (scripts/install-deps)"
work=$(mktemp -d /tmp/sorvanel-net.XXXXXX)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
trap 'stop_all; if [ "$KEEP_LOGS" = 1 ]; then echo "logs: $work"; else rm -rf "$work"; fi' EXIT
declare -A R

# A loopback TCP port nothing listens on.
free_port() {
  local port
  for port in $(shuf -i 20000-60000 -n 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
  fail "no free loopback port"
}

# start_ser2net MODE TTY PORT: ser2net serving TTY on 127.0.0.1:PORT.
start_ser2net() {
  local mode=$1 tty=$2 port=$3 accepter options="  options:\n    chardelay: false\n"
  local log=$work/ser2net-$mode.log
  case $mode in
    rfc2217) accepter="telnet(rfc2217),tcp(nodelay),127.0.0.1,$port" ;;
    socket) accepter="tcp(nodelay),127.0.0.1,$port" ;;
    untuned) accepter="telnet(rfc2217),tcp,127.0.0.1,$port" options="" ;;
  esac
  printf "connection: &%s\n  accepter: %s\n  connector: serialdev,%s,19200n81,local\n$options" \
    "$mode" "$accepter" "$tty" >"$work/ser2net-$mode.yaml"
  ser2net -n -u -r -c "$work/ser2net-$mode.yaml" -P "$work/ser2net-$mode.pid" >"$log" 2>&1 &
  started+=("$!")
  SER2NET_PID=$!
  wait_for_line "$log" "Ready" 10 || fail "ser2net did not start" "$log"
}

run_mode() {
  local mode=$1 name=NET_$1 tty port
  local log=$work/$name.drive.log
  note "turnaround, $mode"
  start_drive poll "$name" --name "$name" --messages "$MESSAGES" --gap-ms 2-20 --wait 60
  tty=$(sed -n 's/^drive: port .* on \(.*\) (.*$/\1/p' "$log")
  SER2NET_PID=
  if [ "$mode" = direct ]; then
    start_program poll "$name"
  else
    port=$(free_port)
    start_ser2net "$mode" "$tty" "$port"
    local scheme=$mode
    [ "$mode" = untuned ] && scheme=rfc2217
    start_program poll "$name" "[NetworkPorts]"$'\n'"$name=$scheme://127.0.0.1:$port"
  fi
  wait_pid "${drive_pid[$name]}"
  stop_pid "${program_pid[$name]}"
  [ -n "$SER2NET_PID" ] && stop_pid "$SER2NET_PID"
  R[n.$mode]=$(field "$log" "answered")
  turnaround_fields "$log" "" "$mode"
  [ -n "${R[p50.$mode]}" ] || fail "no turnaround figures for $mode" "$log"
}

if [ "$SKIP_BUILD" != 1 ]; then
  note "building into ${build_dir[poll]}"
  cmake -S "$root" -B "${build_dir[poll]}" -DCMAKE_BUILD_TYPE=Release -DSORVANEL_SANITIZE=OFF \
    -DSORVANEL_BLIND_POLL_BASELINE=OFF -DBUILD_TESTING=OFF >/dev/null
  cmake --build "${build_dir[poll]}" --target sorvanel program_drive -j"$JOBS" \
    >"$work/build.log" 2>&1 || { tail -30 "$work/build.log" >&2; exit 1; }
fi
for mode in "${modes[@]}"; do
  run_mode "$mode"
done

printf '\nReply turnaround, %s display messages each, ms (from the last byte of a message\n' \
  "$MESSAGES"
printf 'to the first byte of the answer, as the drive sees them)\n'
printf '%-28s %9s %8s %8s %8s\n' "" answered p50 p99 max
for mode in "${modes[@]}"; do
  case $mode in
    direct) label="pseudo-terminal, direct" ;;
    rfc2217) label="ser2net, rfc2217://" ;;
    socket) label="ser2net, socket://" ;;
    untuned) label="ser2net defaults, rfc2217://" ;;
  esac
  printf '%-28s %9s %8s %8s %8s\n' "$label" "${R[n.$mode]}" "${R[p50.$mode]}" \
    "${R[p99.$mode]}" "${R[max.$mode]}"
done
