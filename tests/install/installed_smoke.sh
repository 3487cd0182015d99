#!/usr/bin/env bash
# The installed packages at work, on a machine that has never seen the sources: sorvanel-vdrive
# and sorvanel from /usr/bin, the program on a virtual X screen, talking to the virtual converter
# until it has answered. Needs the packages and Xvfb installed.
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

home=$(mktemp -d)
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share
export XDG_RUNTIME_DIR=$home/runtime
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$home"' EXIT

sorvanel --version | grep -q . || fail "sorvanel --version printed nothing"

Xvfb :77 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:77 QT_QPA_PLATFORM=xcb

sorvanel-vdrive >"$home/vdrive.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  grep -q 'port VDRIVE1' "$home/vdrive.log" && break
  sleep 0.1
done
grep -q 'port VDRIVE1' "$home/vdrive.log" || fail "sorvanel-vdrive did not register its port"

capture=$home/line.jsonl
sorvanel --port VDRIVE1 --capture "$capture" >"$home/sorvanel.log" 2>&1 &
program=$!
pids+=("$program")
for _ in $(seq 200); do
  grep -q '"dir": "tx"' "$capture" 2>/dev/null && break
  kill -0 "$program" 2>/dev/null || { cat "$home/sorvanel.log" >&2; fail "sorvanel ended early"; }
  sleep 0.1
done
grep -q '"dir": "tx"' "$capture" || { cat "$home/sorvanel.log" >&2; fail "no answer went to the converter"; }

kill -TERM "$program"
wait "$program" || fail "sorvanel did not close cleanly on SIGTERM (status $?)"
[ -s "$XDG_CONFIG_HOME/sorvanel/sorvanel.ini" ] || fail "no settings in XDG_CONFIG_HOME/sorvanel"
echo "installed program: answered the converter ($(grep -c '"dir": "tx"' "$capture") answers)"
