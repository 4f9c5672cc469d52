#!/usr/bin/env bash
# The real program as a process: one instance per folder, a copy elsewhere runs, and SIGTERM closes it
# the normal way. Named monitors: a name that could leave its folder is refused, the running ones are
# listed, and a folder that is another monitor's through a link or that cannot be written is refused
# with a message while the first monitor runs on untouched.
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

# Named monitors.
for name in "" "a/b" ".." "x y" "$(printf 'x%.0s' {1..33})" "caf$(printf '\303\251')"; do
  set +e
  message=$("$quietmon" --instance "$name" --print-config 2>&1 >/dev/null)
  status=$?
  set -e
  check "the name '$name' is refused with exit code 2 and a reason" \
    sh -c "[ $status -eq 2 ] && printf '%s' \"\$1\" | grep -q -e '1 to 32 letters' -e 'needs the monitor'" _ "$message"
done
check "and nothing was made for them" test ! -e "$data/instances"
check "a named monitor's default title names it" bash -c \
  "'$quietmon' --instance beta --print-config | grep -qx \$'Title=Orvane Silence Detector - beta\r'"
named=$data/instances/alpha
mkdir -p "$named"
printf '[General]\r\nLogEvents=1\r\nLeftName=Studio\r\n' >"$named/quietmon.ini"
"$quietmon" --instance alpha >"$work/alpha.out" 2>&1 &
alpha=$!; pids+=("$alpha")
check "a named monitor starts in its own folder" wait_for 30 started "$named/quietmon.log"
check "--list-instances tells the running from the stopped" \
  test "$("$quietmon" --list-instances | tr '\n' '|')" = "alpha running|beta stopped|"
ln -s alpha "$data/instances/gamma"
set +e
message=$(timeout 20 "$quietmon" --instance gamma 2>&1)
status=$?
set -e
check "a name linked to a running monitor's folder is refused with exit code 2" test "$status" -eq 2
check "with a message naming the folder" grep -q 'instances/gamma/, is the folder of another monitor' <<<"$message"
check "the first monitor runs on" alive "$alpha"
kill -TERM "$alpha"; wait "$alpha" 2>/dev/null || true
check "its settings are its own" grep -q $'^LeftName=Studio\r$' "$named/quietmon.ini"
check "and its log holds one start" test "$(grep -c 'starting up' "$named/quietmon.log")" -eq 1

# A folder that cannot be written, as a user for whom file permissions count.
as_user=()
[ "$(id -u)" != 0 ] || as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
mkdir -p "$work/nobody/program" "$work/nobody/home/.local/share/program/instances/locked" "$work/nobody/runtime"
cp "$quietmon" "$work/nobody/program/quietmon"
chmod 755 "$work" && chmod -R a+rX "$work/nobody" && chmod 700 "$work/nobody/runtime"
[ ${#as_user[@]} -eq 0 ] || chown -R nobody "$work/nobody/home" "$work/nobody/runtime"
chmod 500 "$work/nobody/home/.local/share/program/instances/locked"
set +e
message=$(env HOME="$work/nobody/home" XDG_RUNTIME_DIR="$work/nobody/runtime" "${as_user[@]}" timeout 20 \
  "$work/nobody/program/quietmon" --instance locked 2>&1)
status=$?
set -e
check "a folder that cannot be written is refused with exit code 2" test "$status" -eq 2
check "with a message saying so" grep -q 'instances/locked/, cannot be written (Permission denied)' <<<"$message"

[ "$failures" -eq 0 ]
