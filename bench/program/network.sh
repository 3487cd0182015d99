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
#   tls       as rfc2217, inside TLS (ser2net's ssl filter, rfc2217+tls://,
#             verified against a CA the script makes with openssl);
# one after the other, on the build as shipped (the port worker waits in
# poll()). Then the program's CPU at full line rate (no gaps) through
# rfc2217 and tls, and the time to open each kind of network port
# (link_tls_open_bench: the TLS rows less the plain ones are the handshake).
# docs/performance.md explains the figures.
#
# Usage: bench/program/network.sh
# Environment (optional):
#   MESSAGES=3000   measured messages of each run
#   CPU_SECONDS=10  length of each CPU measurement
#   SKIP_BUILD=0    1: measure the build as it is
#   JOBS=2          parallel build jobs
#   PERF_BUILD      build folder (default build-perf, shared with run.sh)
#   KEEP_LOGS=0     1: keep the logs folder and print its path
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
MESSAGES=${MESSAGES:-3000}
CPU_SECONDS=${CPU_SECONDS:-10}
SKIP_BUILD=${SKIP_BUILD:-0}
JOBS=${JOBS:-2}
KEEP_LOGS=${KEEP_LOGS:-0}
declare -A build_dir=([poll]=${PERF_BUILD:-$root/build-perf})
modes=(direct rfc2217 socket untuned tls)

# shellcheck source-path=SCRIPTDIR source=measure_lib.sh
source "$root/bench/program/measure_lib.sh"

command -v ser2net >/dev/null || fail "ser2net is not installed (scripts/install-deps)"
work=$(mktemp -d /tmp/sorvanel-net.XXXXXX)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
trap 'stop_all; if [ "$KEEP_LOGS" = 1 ]; then echo "logs: $work"; else rm -rf "$work"; fi' EXIT
declare -A R

# A CA and a server certificate for localhost and 127.0.0.1.
make_certificates() {
  local ec=(-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes)
  openssl req -x509 "${ec[@]}" -keyout "$work/ca.key" -out "$work/ca.pem" -days 2 \
    -subj "/CN=bench CA" 2>/dev/null
  openssl req "${ec[@]}" -keyout "$work/server.key" -out "$work/server.csr" -subj "/CN=localhost" \
    2>/dev/null
  echo "subjectAltName=DNS:localhost,IP:127.0.0.1" >"$work/san.ext"
  openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
    -CAcreateserial -days 2 -extfile "$work/san.ext" -out "$work/server.pem" 2>/dev/null
}

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
    tls) accepter="telnet(rfc2217),ssl(key=$work/server.key,cert=$work/server.pem),tcp(nodelay),127.0.0.1,$port" ;;
  esac
  printf "connection: &%s\n  accepter: %s\n  connector: serialdev,%s,19200n81,local\n$options" \
    "$mode" "$accepter" "$tty" >"$work/ser2net-$mode.yaml"
  ser2net -n -u -r -c "$work/ser2net-$mode.yaml" -P "$work/ser2net-$mode.pid" >"$log" 2>&1 &
  started+=("$!")
  SER2NET_PID=$!
  wait_for_line "$log" "Ready" 10 || fail "ser2net did not start" "$log"
}

url_of() {
  case $1 in
    untuned) echo "rfc2217://127.0.0.1:$2" ;;
    tls) echo "rfc2217+tls://127.0.0.1:$2?ca=$work/ca.pem" ;;
    *) echo "$1://127.0.0.1:$2" ;;
  esac
}

# line_rate_mode MODE: the program's CPU while program_drive sends at full
# line pace without gaps through ser2net in MODE.
line_rate_mode() {
  local mode=$1 name=RATE_$1 tty port pid
  local log=$work/$name.drive.log
  note "CPU at line rate, $mode"
  start_drive poll "$name" --name "$name" --duration $((2 * CPU_SECONDS + 4)) --gap-ms 0 --chunk 1 \
    --wait 60
  tty=$(sed -n 's/^drive: port .* on \(.*\) (.*$/\1/p' "$log")
  port=$(free_port)
  start_ser2net "$mode" "$tty" "$port"
  start_program poll "$name" "[NetworkPorts]"$'\n'"$name=$(url_of "$mode" "$port")"
  pid=${program_pid[$name]}
  wait_for_line "$log" "drive: answering" 60 || fail "no answer at line rate" "$log"
  sleep 1
  measure_cpu "$pid" "$CPU_SECONDS" rate "$mode" "$work/$name.threads"
  measure_cpu "$SER2NET_PID" "$CPU_SECONDS" ser2net "$mode" "$work/$name.ser2net.threads"
  wait_pid "${drive_pid[$name]}"
  R[rate_messages.$mode]=$(field "$log" "messages per s")
  stop_pid "$pid"
  stop_pid "$SER2NET_PID"
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
    start_program poll "$name" "[NetworkPorts]"$'\n'"$name=$(url_of "$mode" "$port")"
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
    -DSORVANEL_BLIND_POLL_BASELINE=OFF -DBUILD_TESTING=OFF -DSORVANEL_BENCH=ON >/dev/null
  cmake --build "${build_dir[poll]}" --target sorvanel program_drive link_tls_open_bench -j"$JOBS" \
    >"$work/build.log" 2>&1 || { tail -30 "$work/build.log" >&2; exit 1; }
fi
make_certificates
for mode in "${modes[@]}"; do
  run_mode "$mode"
done
for mode in rfc2217 tls; do
  line_rate_mode "$mode"
done
note "time to open"
"${build_dir[poll]}/link_tls_open_bench" --benchmark_format=console \
  >"$work/open.txt" 2>"$work/open.log" || fail "link_tls_open_bench failed" "$work/open.log"

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
    tls) label="ser2net, rfc2217+tls://" ;;
  esac
  printf '%-28s %9s %8s %8s %8s\n' "$label" "${R[n.$mode]}" "${R[p50.$mode]}" \
    "${R[p99.$mode]}" "${R[max.$mode]}"
done

printf '\nThe program at full line rate through ser2net, %s s: CPU %% of one core (all threads;\n' \
  "$CPU_SECONDS"
printf 'ser2net beside it), wake-ups per second\n'
printf '%-28s %9s %8s %10s %9s\n' "" "msgs/s" "cpu %" "wake-ups/s" "ser2net %"
for mode in rfc2217 tls; do
  printf '%-28s %9s %8s %10s %9s\n' "ser2net, $mode" "${R[rate_messages.$mode]}" \
    "${R[rate_cpu.$mode]}" "${R[rate_wake.$mode]}" "${R[ser2net_cpu.$mode]}"
done
printf '\nTime to open a network port through ser2net (mean of 50 opens)\n'
grep '^open/' "$work/open.txt"
