#!/usr/bin/env bash
# The whole program with many network ports in its settings file, on the
# offscreen platform: seconds from the process start until it waits idle in
# its event loop (started), then from SIGTERM until it has ended (closed),
# each with the processor time the program used (cpu, up to the last 50 ms
# sample before its end); whether the memory file was saved, and how many
# entries the saved settings file holds. A close that has not ended after
# LIMIT seconds is killed. On a busy machine the cpu figures say more.
# Usage: bench/settings/measure_many_ports.sh [program, default build/sorvanel]
#        [entries, default 100000]
# Environment: LIMIT=120 (seconds for the start and for the close)
set -euo pipefail
program=$(realpath "${1:-build/sorvanel}")
entries=${2:-100000}
limit=${LIMIT:-120}
[ -x "$program" ] || { echo "build the target sorvanel first" >&2; exit 1; }

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir -p "$folder/home" "$folder/runtime"
chmod 700 "$folder/runtime"
awk -v n="$entries" 'BEGIN {
  printf "[Sorvanel]\nPort=\n\n[NetworkPorts]\n"
  for (i = 0; i < n; i++) printf "port%06d=socket://127.0.0.1:%d\n", i, 10000 + i % 50000
}' >"$folder/many.ini"

now() { date +%s.%N; }
# User and system clock ticks of the process so far.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo gone; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

begin=$(now)
HOME="$folder/home" XDG_RUNTIME_DIR="$folder/runtime" QT_QPA_PLATFORM=offscreen \
  "$program" --settings "$folder/many.ini" >"$folder/output" 2>&1 &
pid=$!

# Started: no processor time used over half a second (the program's own
# one-second tick costs less than a clock tick).
started=""
last=$(ticks $pid)
steady=0
while [ -z "$started" ]; do
  sleep 0.1
  current=$(ticks $pid)
  [ "$current" != gone ] || { echo "the program ended at start:" >&2; cat "$folder/output" >&2; exit 1; }
  if [ "$current" = "$last" ]; then
    steady=$((steady + 1))
    [ $steady -lt 5 ] || started=$(awk -v t="$(now)" 'BEGIN { printf "%.3f", t - 0.5 }')
  else
    steady=0
    last=$current
  fi
  if [ "$(seconds "$begin" "$(now)" | cut -d. -f1)" -ge "$limit" ]; then
    echo "start: not idle after ${limit} s" >&2
    break
  fi
done
[ -n "$started" ] || started=$(now)
startTicks=$(ticks $pid)

terminated=$(now)
kill -TERM $pid
closed=""
lastTicks=$startTicks
while kill -0 $pid 2>/dev/null; do
  sleep 0.05
  current=$(ticks $pid)
  [ "$current" = gone ] || lastTicks=$current
  if [ "$(seconds "$terminated" "$(now)" | cut -d. -f1)" -ge "$limit" ]; then
    kill -KILL $pid
    closed="killed after ${limit} s"
    break
  fi
done
wait $pid 2>/dev/null || true
[ -n "$closed" ] || closed="$(seconds "$terminated" "$(now)") s"

saved=$(awk '/^\[NetworkPorts\]/ { inside = 1; next } /^\[/ { inside = 0 } inside && /=/ { n++ } END { print n + 0 }' "$folder/many.ini")
hz=$(getconf CLK_TCK)
cpu() { awk -v t="$1" -v hz="$hz" 'BEGIN { printf "%.2f", t / hz }'; }
echo "entries=$entries start=$(seconds "$begin" "$started") s (cpu $(cpu "$startTicks") s)" \
  "close=$closed (cpu $(cpu $((lastTicks - startTicks))) s)" \
  "memory_file=$([ -s "$folder/many.mem" ] && echo saved || echo missing) saved_entries=$saved"
