#!/usr/bin/env bash
# The program as systemd runs it (Type=notify, WatchdogSec), against a notification socket of the test's
# own: READY=1 once monitoring runs, WATCHDOG=1 all along, also while the alarm's email waits 20 s for a
# mail server that never answers, and STOPPING=1 at the end.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")

start_pulse
start_server smtp /usr/bin/python3 "$support_dir/smtp-test-server.py" "$work/mail" --mode silent
# The stand-in for systemd: every message with the moment it came.
mkfifo "$work/notify.stdin"
/usr/bin/python3 "$support_dir/notify-socket.py" "$work/notify" <"$work/notify.stdin" >"$work/notify.out" 2>&1 &
pids+=($!)
exec {notify_keep}>"$work/notify.stdin"
wait_for 10 grep -qx ready "$work/notify.out" || { echo "the notification socket did not start"; exit 1; }

export NOTIFY_SOCKET=$work/notify WATCHDOG_USEC=4000000 # systemd names no WATCHDOG_PID for the main process
start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 AudioInDeviceName=pulse \
  '[Activation]' Silence=4 Return=1 '[Tasks]' 'Task1=Send email' \
  '[Email]' From=monitor@station.test To=engineer@station.test "SMTP=127.0.0.1:$SERVER_PORT")"
check "READY=1 once monitoring has started" wait_for 15 grep -q ' READY=1$' "$work/notify.out"
play 2 0.5
sleep 2
play 30 0
check "the alarm is raised" wait_for 15 logged 'Alarm activated (silent channel(s): Left and Right)'
check "the email gives up after the server's 20 s of silence" wait_for 30 sh -c \
  "tr -d '\r' <'$LOG' | grep -q '; An error occured when trying to send email: The SMTP server gave no whole reply within 20000 ms.'"
kill -TERM "$QUIETMON_PID"
check "the program ends" wait_for 15 gone "$QUIETMON_PID"
check "STOPPING=1 at the end" wait_for 5 grep -q ' STOPPING=1$' "$work/notify.out"
# From READY to STOPPING no gap between two watchdog reports reached half the watchdog's 4 s.
longest=$(awk '$2 == "READY=1" { last = $1 } $2 == "WATCHDOG=1" && last != "" { gap = $1 - last; if (gap > longest) longest = gap; last = $1 }
  $2 == "STOPPING=1" { gap = $1 - last; if (gap > longest) longest = gap; print longest + 0; exit }' "$work/notify.out")
check "WATCHDOG=1 all along, the longest gap ${longest}s" awk -v gap="${longest:-99}" 'BEGIN { exit !(gap < 2.0) }'
check "as many reports as the run's seconds ask for" \
  test "$(grep -c ' WATCHDOG=1$' "$work/notify.out")" -ge 25
[ "$failures" -eq 0 ]
