#!/usr/bin/env bash
# The alarm queue "Switch port pin", "Speak", "Reboot system", "Send HTTP query" against a fake logind.
#   reboot-story-test.sh QUIETMON resume|refused
# resume: the countdown runs out, logind takes the reboot, the program closes itself; started again with
# "(Invoke last status)", it goes on with the row after "Reboot system".
# refused: logind answers CanReboot with "no": the program logs it and keeps monitoring.
# There is no serial port with modem lines here: the port is a pseudo-terminal named by Port/Device, which
# the program opens and then finds without modem lines, so the task logs its refusal.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")
story=$2

start_pulse
pactl --server="$PULSE_ADDRESS" load-module module-null-sink sink_name=speech_sink >/dev/null
export PULSE_SINK=speech_sink # the voice, away from the sink whose monitor the program listens to
parec --server="$PULSE_ADDRESS" -d speech_sink.monitor --raw --format=s16le --rate=22050 --channels=1 \
  >"$work/speech.raw" &
recorder=$!
pids+=("$recorder")
start_http
case $story in
resume) start_fake_logind ;;
refused) start_fake_logind '{"CanReboot": "no"}' ;;
*)
  echo "unknown story: $story"
  exit 2
  ;;
esac
# A pseudo-terminal held open until the test ends.
mkfifo "$work/pty.stdin"
/usr/bin/python3 -c 'import os, sys
leader, terminal = os.openpty()
print(os.ttyname(terminal), flush=True)
sys.stdin.read()' <"$work/pty.stdin" >"$work/pty" &
pids+=($!)
exec {pty_keep}>"$work/pty.stdin"
wait_for 10 test -s "$work/pty"
terminal=$(cat "$work/pty")

settings=$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 AudioInDeviceName=pulse StartUpStatus=2 \
  '[Activation]' Silence=2 Return=3600 \
  '[Tasks]' 'Task1=Switch port pin' 'Task2=Speak' 'Task3=Reboot system' 'Task4=Send HTTP query' \
  '[Port]' "Device=$terminal" Limited=1 For=1 \
  '[Speak]' 'Text=Silence on %channel' \
  '[Query]' "Address=http://127.0.0.1:$HTTP_PORT/resumed" 'Query=task=%lasttask')
require_fake_logind
start_quietmon "$quietmon" "$settings"

check "the alarm is raised" wait_for 30 logged 'Alarm activated (silent channel(s): Left and Right)'
check "the pseudo-terminal has no modem lines to switch" wait_for 10 logged "Can't access the COM port"
check "the countdown runs out and logind is asked" wait_for 30 sh -c "grep -q CanReboot '$LOGIND_CALLS'"
kill "$recorder" 2>/dev/null || true
check "the voice was heard" /usr/bin/python3 -c 'import array, sys
data = open(sys.argv[1], "rb").read()
samples = array.array("h", data[: len(data) // 2 * 2])
sys.exit(0 if samples and max(map(abs, samples)) > 3000 else 1)' "$work/speech.raw"

if [ "$story" = refused ]; then
  check "the refusal is logged" wait_for 10 logged 'Reboot failed - no'
  sleep 1
  check "the program keeps monitoring" alive "$QUIETMON_PID"
  check "logind was only asked" test "$(logind_calls)" = CanReboot
  check "no Exit was logged" test "$(count_logged Exit)" -eq 0
  check "the rows after the reboot did not run" test ! -e "$work/requests.txt"
  kill -TERM "$QUIETMON_PID"
  check "the program ends" wait_for 15 gone "$QUIETMON_PID"
  check "the saved marker is false" grep -q $'^Reboot=0\r$' "$SETTINGS"
  [ "$failures" -eq 0 ]
  exit
fi

check "the program ends itself after logind took the reboot" wait_for 15 gone "$QUIETMON_PID"
status=0
wait "$QUIETMON_PID" || status=$?
check "it ends with exit code 0" test "$status" -eq 0
check "logind was asked, then told to reboot without interaction" test "$(logind_calls | tr '\n' ' ')" = 'CanReboot Reboot False '
check "Exit is the last line logged" test "$(tr -d '\r' <"$LOG" | tail -n 1 | cut -d' ' -f3-)" = Exit
check "the saved marker is true" grep -q $'^Reboot=1\r$' "$SETTINGS"
check "the alarm is saved as active" grep -q $'^Alarm=1\r$' "$SETTINGS"
check "the position after the reboot is saved" grep -q $'^LastTask=3\r$' "$SETTINGS"
check "the rows after the reboot did not run before it" test ! -e "$work/requests.txt"

# The computer is back: the program starts again from the settings it left.
require_fake_logind
before=$(grep -c 'starting up' "$LOG")
start_quietmon "$quietmon" "$(cat "$SETTINGS")"
check "the program starts again" wait_for 30 sh -c "[ \$(grep -c 'starting up' '$LOG') -gt $before ]"
# The query's placeholders go out percent-encoded: the fourth row is "%34".
check "the row after the reboot runs, with its position" wait_for 15 grep -q '^GET /resumed?task=%34 ' "$work/requests.txt"
check "the rows before the reboot did not run again" test "$(count_logged "Can't access the COM port")" -eq 1
check "no second reboot was asked for" test "$(logind_calls | tr '\n' ' ')" = 'CanReboot Reboot False '
kill -TERM "$QUIETMON_PID"
check "the program ends" wait_for 15 gone "$QUIETMON_PID"
check "the marker is false again after a normal exit" grep -q $'^Reboot=0\r$' "$SETTINGS"
[ "$failures" -eq 0 ]
