#!/usr/bin/env bash
# "Open/Play 1" with an mp3 during a real alarm.
#   open-play-test.sh QUIETMON ENDPOINT_PEAKS player|no-player
# player: the built-in player plays the file into a sink of its own, heard on that sink's monitor during
# the alarm, and the return, with "Built-in mp3 player: stop playing" on, silences it.
# no-player: libout123 is broken, so there is no built-in player: "Use built-in MP3 player for .mp3
# files" is saved as 0 and the file goes to the desktop's opener (a stand-in xdg-open on PATH).
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")
endpoint_peaks=$(realpath "$2")
variant=$3

start_pulse
# The programme goes into e2e_sink, whose monitor the program listens to; the player plays into the
# default sink, a second one, so that its tone is not taken for the programme.
pactl --server="$PULSE_ADDRESS" load-module module-null-sink sink_name=play_sink format=s16le rate=44100 channels=2 >/dev/null
pactl --server="$PULSE_ADDRESS" set-default-sink play_sink

sox -q -n -r 44100 -c 2 -b 16 -e signed "$work/alarm.wav" synth 60 sine 440 vol 0.5
lame --quiet "$work/alarm.wav" "$work/alarm.mp3"
settings=$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 AudioInDeviceName=pulse \
  InternalPlayer=1 StopPlayer=1 '[Activation]' Silence=5 Return=1 '[Tasks]' 'Task1=Open/Play 1' \
  '[Open1]' "File1=$work/alarm.mp3")

now_ms() { date +%s%3N; }
# heard <since-ms>, quiet <since-ms>: what the player's sink played from that moment on.
heard() { awk -v t="$1" '$1 >= t && $2 != "lost" && $2 > 0.1 {found = 1} END {exit !found}' "$work/peaks"; }
quiet() { awk -v t="$1" '$1 >= t {n++; if ($2 == "lost" || $2 > 0.01) loud = 1} END {exit !(n >= 10 && !loud)}' "$work/peaks"; }
ended() { ! alive "$QUIETMON_PID"; }

case $variant in
player)
  mkfifo "$work/peaks.stdin"
  PULSE_SERVER=$PULSE_ADDRESS "$endpoint_peaks" play_sink.monitor <"$work/peaks.stdin" >"$work/peaks" &
  pids+=($!)
  exec {keep_peaks}>"$work/peaks.stdin"
  start_quietmon "$quietmon" "$settings"
  check "the alarm is raised" wait_for 30 logged 'Alarm activated (silent channel(s): Left and Right)'
  alarm_at=$(now_ms)
  check "the mp3 is heard on the player's sink during the alarm" wait_for 10 heard "$alarm_at"
  play 5 0.5
  check "the return is logged" wait_for 20 logged 'Returned from alarm condition'
  returned_at=$(now_ms)
  # The monitor may still deliver what the sink rendered just before the stop.
  check "the return silenced it" wait_for 10 quiet $((returned_at + 500))
  check "the program is still running" alive "$QUIETMON_PID"
  kill -TERM "$QUIETMON_PID"
  check "the program ends" wait_for 15 ended
  check "the player option is kept" grep -q $'^InternalPlayer=1\r$' "$SETTINGS"
  ;;
no-player)
  mkdir -p "$work/lib" "$work/bin"
  : >"$work/lib/libout123.so.0"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s/xdg-open.args"\n' "$work" >"$work/bin/xdg-open"
  chmod 755 "$work/bin/xdg-open"
  LD_LIBRARY_PATH=$work/lib PATH=$work/bin:$PATH start_quietmon "$quietmon" "$settings"
  check "the alarm is raised" wait_for 30 logged 'Alarm activated (silent channel(s): Left and Right)'
  check "the desktop's opener is given the mp3" wait_for 10 test -s "$work/xdg-open.args"
  check "it is given that file alone" test "$(cat "$work/xdg-open.args")" = "$work/alarm.mp3"
  kill -TERM "$QUIETMON_PID"
  check "the program ends" wait_for 15 ended
  check "the player option is saved off" grep -q $'^InternalPlayer=0\r$' "$SETTINGS"
  ;;
*)
  echo "unknown variant: $variant"
  exit 2
  ;;
esac
[ "$failures" -eq 0 ]
