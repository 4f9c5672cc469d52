#!/usr/bin/env bash
# quietmon --history, run as a user would with a home folder of its own.
source "$(dirname "$0")/lib.sh"
run() { # run <arguments...>: standard output, standard error and exit code in $home/out, $home/err, $status
  set +e
  "$quietmon" "$@" >"$home/out" 2>"$home/err"; status=$?
  set -e
}
tab=$'\t'

run --history
check "no history yet: exit code 0 and nothing listed" test "$status" -eq 0 -a ! -s "$home/out" -a ! -s "$home/err"
check "listing does not create the data folder" test ! -e "$data"

mkdir -p "$data"
printf 'start\t2026-03-14 03:00:05\tLeft, Right\t0\nend\t2026-03-14 03:10:00\t0\nstart\t2026-03-16 23:59:59\tLeft\t1\n' \
  >"$data/quietmon-alarms.txt"
run --history
check "every alarm is listed, tab-separated" test "$(cat "$home/out")" = \
  "2026-03-14 03:00:05${tab}2026-03-14 03:10:00${tab}Left, Right${tab}595${tab}no
2026-03-16 23:59:59${tab}${tab}Left${tab}${tab}yes"
run --history --since 2026-03-15
check "--since lists the alarms from that day on" \
  test "$status" -eq 0 -a "$(cat "$home/out")" = "2026-03-16 23:59:59${tab}${tab}Left${tab}${tab}yes"

for bad in 2026-02-30 15.03.2026 ""; do
  run --history --since "$bad"
  check "--since '$bad' is refused with exit code 2" test "$status" -eq 2 -a ! -s "$home/out"
  check "--since '$bad' says what is wanted" grep -q "^--since needs the first day to list: --since YYYY-MM-DD$" "$home/err"
done
run --since 2026-03-15
check "--since without --history is refused" grep -q "^--since goes only with --history$" "$home/err"

[ "$failures" -eq 0 ]
