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
# Back within 20 s of the restart, then 10 s of silence.
check "a silence after the restart raises the alarm" \
  wait_for $((20 + 10 + 15 - (SECONDS - restarted))) logged 'Alarm activated (silent channel(s): Left and Right)'
check "the program is still running" alive "$QUIETMON_PID"
[ "$failures" -eq 0 ]
