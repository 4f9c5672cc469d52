#!/usr/bin/env bash
# The sound server dies for good while programme sound plays: a monitor that hears nothing must raise the
# alarm as for a silent programme, and return when the server is back and the programme with it.
#   server-lost-test.sh QUIETMON endpoint|wave-in
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")
input=$2

start_pulse
start_smtp
case $input in
endpoint) device=$(PULSE_SERVER=$PULSE_ADDRESS QT_QPA_PLATFORM=offscreen HOME=$work "$quietmon" --list-devices |
  grep -m1 '^Active endpoint listening: Monitor of') ;;
wave-in) device=pulse ;;
*)
  echo "unknown input: $input"
  exit 2
  ;;
esac
silence=10
start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 "AudioInDeviceName=$device" \
  '[Activation]' "Silence=$silence" Return=1 '[Tasks]' 'Task1=Send email' \
  '[Email]' From=monitor@station.test To=engineer@station.test "SMTP=127.0.0.1:$SMTP_PORT" 'Subject=Silence on %channel')"

play 120 0.5
sleep 3
check "no alarm while the programme plays" test "$(count_logged 'Alarm activated (silent channel(s): Left and Right)')" -eq 0
stop_pulse
killed=$(date +%s%N)
since_kill() { echo $((($(date +%s%N) - killed) / 1000000)); } # milliseconds
check "the lost input is logged" wait_for 3 logged 'Audio input lost'
wait_for $((silence + 5)) logged 'Alarm activated (silent channel(s): Left and Right)' || true
alarm_ms=$(since_kill)
wait_for 10 test -e "$work/mail/001.eml" || true
mail_ms=$(since_kill)
echo "alarm ${alarm_ms} ms and its email ${mail_ms} ms after the server died"
check "the alarm comes within Silence + 2 s of the server's death" test "$alarm_ms" -le $(((silence + 2) * 1000))
# The mail server is a script on a machine busy with other tests: a second more for the exchange.
check "and its email with it" test "$mail_ms" -le $(((silence + 3) * 1000))

start_pulse
play 60 0.5
check "the input comes back with the server" wait_for 30 logged 'Audio input back'
check "and the alarm returns" wait_for 15 logged 'Returned from alarm condition'
story=$(tr -d '\r' <"$LOG" | cut -d' ' -f3- | grep -E '^(Audio input|Alarm activated|Returned)' | tr '\n' '|')
check "the log tells the story in order" test "$story" = \
  "Audio input lost|Alarm activated (silent channel(s): Left and Right)|Audio input back|Returned from alarm condition|"
check "the program is still running" alive "$QUIETMON_PID"
[ "$failures" -eq 0 ]
