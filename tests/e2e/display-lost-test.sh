#!/usr/bin/env bash
# The X server goes away under the running program, whose window is on it. Qt ends the process by itself;
# on the way out the settings are saved, "X display lost" is the last line of the log, and the exit status
# is a failure, so that a service manager (here the test, standing in for it) starts the program again.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")

start_pulse
start_xvfb
xvfb_pid=${pids[-1]}
QUIETMON_QPA=xcb start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=1 \
  AudioInDeviceName=pulse)"
check "the window is shown on the test's display" \
  wait_for 15 sh -c "xwininfo -root -tree | grep -q '\"Orvane Silence Detector\"'"
kill -KILL "$xvfb_pid"
check "the program ends by itself" wait_for 20 gone "$QUIETMON_PID"
status=0
wait "$QUIETMON_PID" || status=$?
check "with a failure status ($status)" test "$status" -ne 0
check "\"X display lost\" is the last line of the log" \
  test "$(tr -d '\r' <"$LOG" | tail -n 1 | cut -d' ' -f3-)" = "X display lost"
check "no \"Exit\" was logged" test "$(count_logged Exit)" = 0
check "the settings were saved whole on the way out" grep -q $'^SetupPassword=\r$' "$SETTINGS"
[ "$failures" -eq 0 ]
