#!/usr/bin/env bash
# sorvanel-ctl against two programs with automation on, each on a vdrive of its own, on the
# private bus this test is started on:
#   ctl_on_vdrive.sh BUILD_FOLDER RECIPE_DOC
# - the recipe that docs/recipes.md gives sets the ramp-up time on one drive, and the same
#   recipe again on the other drive;
# - an expectation that is never met ends the run with status 1, naming its line;
# - "press START" lights Run in "leds";
# - a program that closes during a run ends it with status 3.
set -euo pipefail
build=$1 doc=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

tmp=$(mktemp -d)
export XDG_RUNTIME_DIR=$tmp/run QT_QPA_PLATFORM=offscreen
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$tmp"' EXIT
ctl() { "$build/sorvanel-ctl" "$@"; }

for drive in VDRIVE1 VDRIVE2; do
  "$build/vdrive" --name "$drive" >"$tmp/$drive.log" 2>&1 &
  pids+=($!)
done
for drive in VDRIVE1 VDRIVE2; do
  for _ in $(seq 100); do grep -q "port $drive" "$tmp/$drive.log" && break; sleep 0.1; done
done
"$build/sorvanel" --automation --settings "$tmp/first.ini" --port VDRIVE1 >"$tmp/first.log" 2>&1 &
first=$!
pids+=("$first")
"$build/sorvanel" --automation --settings "$tmp/second.ini" --port VDRIVE2 >"$tmp/second.log" 2>&1 &
pids+=($!)
for _ in $(seq 300); do
  [ "$(ctl list 2>/dev/null | wc -l)" -eq 2 ] && break
  sleep 0.1
done
[ "$(ctl list | wc -l)" -eq 2 ] || fail "two programs not listed: $(ctl list 2>&1)"
ctl list | grep -q VDRIVE1 || fail "list does not name the port"

# The recipe exactly as the documentation shows it: the first fenced block of docs/recipes.md.
awk '/^```$/ { if (inside) exit; inside = 1; next } inside' "$doc" >"$tmp/ramp_up.recipe"
grep -q '^press' "$tmp/ramp_up.recipe" || fail "no recipe found in $doc"
for instance in first second; do
  ctl --instance "$instance" expect 1 "Kimenet" --timeout 20 || fail "$instance: main screen not shown"
  ctl --instance "$instance" run "$tmp/ramp_up.recipe" || fail "$instance: the documented recipe failed"
done

printf 'press DOWN\nexpect 2 "never shown" 1\npress UP\n' >"$tmp/unmet.recipe"
status=0
ctl --instance first run "$tmp/unmet.recipe" 2>"$tmp/unmet.err" || status=$?
[ "$status" -eq 1 ] || fail "unmet expectation gave status $status"
grep -q "line 2" "$tmp/unmet.err" || fail "unmet expectation not named by its line: $(cat "$tmp/unmet.err")"

ctl --instance second press START
for _ in $(seq 50); do ctl --instance second leds | grep -q 'run=1' && break; sleep 0.1; done
ctl --instance second leds | grep -q '^error=[01] run=1$' || fail "Run not lit: $(ctl --instance second leds)"

printf 'wait 30000\n' >"$tmp/long.recipe"
ctl --instance first run "$tmp/long.recipe" 2>/dev/null &
run=$!
sleep 1
kill -TERM "$first"
status=0
wait "$run" || status=$?
[ "$status" -eq 3 ] || fail "a program that closed mid-run gave status $status"
echo "sorvanel-ctl on vdrive: ok"
