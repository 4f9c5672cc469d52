#!/usr/bin/env bash
# The whole alarm story on one input: tone, silence, tone. The alarm saves a screenshot, emails it and
# calls the HTTP address with the event's placeholders expanded, and closes a test window's application;
# the return emails again, and the saved settings show no alarm after exit.
#   alarm-story-test.sh QUIETMON endpoint|wave-in [headless]
# endpoint: the sink's monitor as an endpoint meter; wave-in: the ALSA "pulse" capture device, whose
# default source is that monitor. headless: no X display at all and no platform chosen for Qt, as on a
# machine without a desktop; the screenshot and kill rows then do nothing and the rest goes as ever.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")
input=$2
headless=${3:-}

start_pulse
start_smtp
start_http
window_title="Studio Playout $$"
if [ "$headless" = headless ]; then
  unset DISPLAY XAUTHORITY
  export QUIETMON_QPA=none
else
  # The application to close: a window of its own on the test environment's display, titled apart from
  # whatever a test running beside this one shows there.
  [ -n "${DISPLAY:-}" ] || { echo "DISPLAY is not set: source the test environment's env.sh"; exit 2; }
  xmessage -title "$window_title" "on air" >/dev/null 2>&1 &
  WINDOW_PID=$!
  pids+=("$WINDOW_PID")
  check "the test window opens" wait_for 15 sh -c "xwininfo -name '$window_title' >/dev/null"
fi
case $input in
endpoint)
  device=$(PULSE_SERVER=$PULSE_ADDRESS QT_QPA_PLATFORM=offscreen HOME=$work "$quietmon" --list-devices |
    grep -m1 '^Active endpoint listening: Monitor of')
  check "the sink's monitor is offered as an endpoint" test -n "$device"
  ;;
wave-in)
  device=pulse
  check "the ALSA pulse device is offered" sh -c "PULSE_SERVER=$PULSE_ADDRESS QT_QPA_PLATFORM=offscreen HOME=$work '$quietmon' --list-devices | grep -qx pulse"
  ;;
*)
  echo "unknown input: $input"
  exit 2
  ;;
esac
start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 "AudioInDeviceName=$device" \
  '[Activation]' Silence=10 Return=1 \
  '[Tasks]' 'Task1=Save screenshot' 'Task2=Send email' 'Task3=Send HTTP query' 'Task4=Kill application' \
  '[RetTasks]' 'Task1=Send email' \
  '[Screenshot]' "File=$work/screen.jpg" '[Kill]' "Title1=$window_title" \
  '[Email]' From=monitor@station.test To=engineer@station.test "SMTP=127.0.0.1:$SMTP_PORT" \
  'Subject=Silence on %channel' 'Message=Silence since %date %time: on %channel' "File=$work/screen.jpg" \
  '[RetEmail]' From=monitor@station.test To=engineer@station.test "SMTP=127.0.0.1:$SMTP_PORT" \
  'Subject=Back on air' 'Message=Back at %date %time:' \
  '[Query]' "Address=http://127.0.0.1:$HTTP_PORT/alarm" 'Query=channel=%channel&at=%time:')"

sox -q -n -r 44100 -c 2 -b 16 -e signed "$work/tone.wav" synth 4 sine 1000 vol 0.5
sox -q -D -n -r 44100 -c 2 -b 16 -e signed "$work/gap.wav" trim 0 12
# The sound comes back for 20 s: the alarm's tasks may hold the program for seconds on a loaded machine, and
# the return must still find sound when they are done.
sox -q "$work/tone.wav" "$work/gap.wav" "$work/tone.wav" "$work/tone.wav" "$work/tone.wav" "$work/tone.wav" \
  "$work/tone.wav" -t raw - |
  pacat --server="$PULSE_ADDRESS" --raw --format=s16le --rate=44100 --channels=2 -d e2e_sink &
pids+=($!)

check "the return is logged" wait_for 45 logged 'Returned from alarm condition'
check "the return email arrives" wait_for 15 test -e "$work/mail/002.eml"
both_sends_logged() { [ "$(count_logged 'Email sent to engineer@station.test')" -eq 2 ]; }
check "both sends are logged" wait_for 5 both_sends_logged
texts=$(tr -d '\r' <"$LOG" | cut -d' ' -f3-)
# The return waits for the alarm queue, which waits for its mail.
check "alarm, its mail, then return and its mail, in the log" test "$(printf '%s\n' "$texts" | grep -A3 -x 'Alarm activated (silent channel(s): Left and Right)' | tr '\n' '|')" = \
  'Alarm activated (silent channel(s): Left and Right)|Email sent to engineer@station.test|Returned from alarm condition|Email sent to engineer@station.test|'
check "no email failure was logged" sh -c "! printf '%s\n' \"\$1\" | grep -q 'occured'" _ "$texts"
today=$(date +%F)
check "the alarm email names the channels and the day" grep -q "Silence since $today [0-9][0-9]:[0-9][0-9]:[0-9][0-9] on Left and Right" "$work/mail/001.eml"
check "its subject is expanded too" grep -q '^Subject: Silence on Left and Right' "$work/mail/001.eml"
check "the return email carries its own time" grep -q "Back at $today [0-9][0-9]:[0-9][0-9]:[0-9][0-9]" "$work/mail/002.eml"
check "one HTTP query with the encoded placeholders" \
  grep -qE '^GET /alarm\?channel=Left\+and\+Right&at=(%3[0-9]){2}%3A(%3[0-9]){2}%3A(%3[0-9]){2} Orvane Silence Detector$' "$work/requests.txt"
if [ "$headless" = headless ]; then
  check "the start says once that there is no display" test "$(count_logged 'Running without a display')" = 1
  check "no screenshot was saved" test ! -e "$work/screen.jpg"
  check "the alarm email goes without an attachment" sh -c "! grep -qi '^Content-Disposition: attachment' '$work/mail/001.eml'"
  check "Qt aborted nothing" sh -c "! grep -q 'platform plugin' '$work/quietmon.out'"
else
# "Attach to email" copies the screenshot's name into the email's file: the same name in both sections.
/usr/bin/python3 - "$work/mail/001.eml" "$work/attached.jpg" <<'EOF'
import email, sys
with open(sys.argv[1], 'rb') as eml:
    message = email.message_from_binary_file(eml)
for part in message.walk():
    if part.get_filename():
        with open(sys.argv[2], 'wb') as attached:
            attached.write(part.get_payload(decode=True))
        break
EOF
screen_size=$(xdpyinfo | awk '/dimensions:/ {print $2}')
check "the alarm email carries the screenshot as a JPEG of the screen's size" \
  test "$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0:s=x "$work/attached.jpg")" = "mjpegx$screen_size"
gone() { ! alive "$1"; }
check "the test window's application is gone" wait_for 15 gone "$WINDOW_PID"
check "its window is gone" sh -c "! xwininfo -name '$window_title' >/dev/null 2>&1"
fi
kill -TERM "$QUIETMON_PID"
check "the program ends" wait_for 15 sh -c "! [ -r /proc/$QUIETMON_PID/stat ] || awk '{exit (\$3==\"Z\")?0:1}' /proc/$QUIETMON_PID/stat"
check "the saved settings show no alarm" grep -q $'^Alarm=0\r$' "$SETTINGS"
HOME=$work/home "$quietmon" --history >"$work/history.txt"
check "--history lists the story's alarm, ended, with both channels silent" \
  grep -qP '^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\t\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\tLeft and Right\t\d+\tno$' "$work/history.txt"
check "the level history is a ring of its fixed size" test "$(stat -c %s "$DATA/quietmon-levels.bin")" -eq 5361376
check "it wrote nothing on standard output or error, tray warnings included" test ! -s "$work/quietmon.out"
[ "$failures" -eq 0 ]
