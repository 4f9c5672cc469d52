#!/usr/bin/env bash
# The real program as a process: one instance per folder, a copy elsewhere runs, and SIGTERM closes it
# the normal way.
set -euo pipefail
quietmon=$(realpath "$1")
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
unset XDG_DATA_HOME
mkdir -p -m 700 "$HOME" "$XDG_RUNTIME_DIR"
failures=0
check() { # check <description> <command...>
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
alive() { [ -r "/proc/$1/stat" ] && ! awk '{exit ($3=="Z")?0:1}' "/proc/$1/stat"; }
wait_for() { # wait_for <seconds> <command...>
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.1; done
}
started() { grep -q 'starting up\.\.\.' "$1" 2>/dev/null; }

for name in quietmon other; do
  mkdir -p "$HOME/.local/share/$name"
  printf '[General]\r\nLogEvents=1\r\n' >"$HOME/.local/share/$name/quietmon.ini"
done
data=$HOME/.local/share/quietmon
copy=$work/other/quietmon
mkdir -p "$(dirname "$copy")" && cp "$quietmon" "$copy"

"$quietmon" >"$work/first.out" 2>&1 &
first=$!; pids+=("$first")
check "the first start runs" wait_for 30 started "$data/quietmon.log"

set +e
timeout 20 "$quietmon" >"$work/second.out" 2>&1
second_status=$?
set -e
check "a second start from the same folder ends with exit code 0" test "$second_status" -eq 0
check "the second start leaves the first running" alive "$first"
check "the second start logged nothing" test "$(grep -c 'starting up' "$data/quietmon.log")" -eq 1

"$copy" >"$work/copy.out" 2>&1 &
other=$!; pids+=("$other")
check "a copy in another folder starts normally" wait_for 30 started "$HOME/.local/share/other/quietmon.log"
check "the copy runs beside the first" alive "$other"

kill -TERM "$first"
check "SIGTERM ends the program" wait_for 30 sh -c "! [ -r /proc/$first/stat ] || awk '{exit (\$3==\"Z\")?0:1}' /proc/$first/stat"
wait "$first" 2>/dev/null; first_status=$?
check "SIGTERM ends it with exit code 0" test "$first_status" -eq 0
check "the last log line is Exit" sh -c "[ \"\$(tail -n 1 '$data/quietmon.log' | tr -d '\r' | cut -d' ' -f3-)\" = Exit ]"
check "the settings file is whole" grep -q '^SetupPassword=' "$data/quietmon.ini"
check "the settings file holds every queue row" test "$(grep -c '^Task[0-9]*=' "$data/quietmon.ini")" -eq 40
check "the lock is released: a new start runs" sh -c "'$quietmon' & p=\$!; sleep 3; alive() { [ -r /proc/\$1/stat ]; }; \
  if alive \$p; then kill -TERM \$p; wait \$p; exit 0; else exit 1; fi"

kill -INT "$other"
wait "$other" 2>/dev/null || true
check "SIGINT closes the copy the normal way" sh -c "[ \"\$(tail -n 1 '$HOME/.local/share/other/quietmon.log' | tr -d '\r' | cut -d' ' -f3-)\" = Exit ]"

[ "$failures" -eq 0 ]
