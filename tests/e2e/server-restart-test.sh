#!/usr/bin/env bash
# The sound server is killed and started again while programme sound plays: the capture comes back by
# itself, and a silence after that still raises the alarm.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")

start_pulse
start_quietmon "$quietmon" $'[General]\r\nLogEvents=1\r\nStartUpDelay=0\r\nVisible=0\r\nAudioInDeviceName=pulse\r\n[Activation]\r\nSilence=10\r\nReturn=1\r\n'
play 60 0.5
sleep 3
stop_pulse
kill "$PLAYER_PID" 2>/dev/null || true
start_pulse
restarted=$SECONDS
play 20 0.5
sleep 20
kill "$PLAYER_PID" 2>/dev/null || true
play 40 0
check "no alarm while the programme played" test "$(count_logged 'Alarm activated (silent channel(s): Left and Right)')" -eq 0
# The silence starts 20 s after the restart. A capture back by then raises the alarm 10 s later; one that
# came back later would raise it only then (a capture that is down measures nothing). A few seconds of
# margin for the player's start and the log.
check "capture back within 20 s: the silence after it raises the alarm in time" \
  wait_for $((20 + 10 + 5 - (SECONDS - restarted))) logged 'Alarm activated (silent channel(s): Left and Right)'
echo "alarm $((SECONDS - restarted)) s after the restart"
check "the program is still running" alive "$QUIETMON_PID"
[ "$failures" -eq 0 ]
