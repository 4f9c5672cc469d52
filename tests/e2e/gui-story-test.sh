#!/usr/bin/env bash
# A new user's first alarm, told only through the windows, with real X input events on a display of the
# test's own. The installed program starts with no settings file. In Setup the user builds the alarm queue
# "Save screenshot", "Send email", "Send HTTP query", "Speak" and the return queue "Send email" with "Add",
# fills in their sub-pages from the keyboard, proves the mail server (loopback, STARTTLS, login) with "Test",
# opens "Help", sets 5 s of silence, no start-up delay and "Log events *", and since the last two act at the
# next start, leaves with "Exit" and starts again. Then programme audio, silence, audio: the mails, the
# screenshot, the HTTP request, the voice, the log and the settings file after SIGTERM tell the rest.
#   gui-story-test.sh BUILD_DIR
source "$(dirname "$0")/lib.sh"
build=$(realpath "$1")
started=$SECONDS

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
quietmon=$prefix/bin/quietmon

start_xvfb
start_pulse
# The voice goes to a sink of its own, away from the one the program listens to, and is recorded there.
pactl --server="$PULSE_ADDRESS" load-module module-null-sink sink_name=speech_sink >/dev/null
export PULSE_SINK=speech_sink
parec --server="$PULSE_ADDRESS" -d speech_sink.monitor --raw --format=s16le --rate=22050 --channels=1 \
  >"$work/speech.raw" &
pids+=($!)
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
password='on-air 24/7'
start_server smtp /usr/bin/python3 "$support_dir/smtp-test-server.py" "$work/mail" \
  --cert "$work/cert.pem" --key "$work/key.pem" --auth monitor "$password"
smtp_port=$SERVER_PORT
start_http
mkdir -p "$work/shots"
# The user's web browser, as xdg-open finds it: it notes what it was asked to open.
home=$work/home
mkdir -p "$home/.config" "$home/.local/share/applications"
printf '%s\n' '#!/bin/sh' "echo \"\$1\" >>'$work/browsed.txt'" >"$work/browser"
chmod +x "$work/browser"
printf '%s\n' '[Desktop Entry]' Type=Application Name=Browser "Exec=$work/browser %f" MimeType=text/html\; \
  >"$home/.local/share/applications/test-browser.desktop"
printf '%s\n' '[Default Applications]' text/html=test-browser.desktop >"$home/.config/mimeapps.list"

QUIETMON_QPA=xcb start_quietmon "$quietmon"
SETTINGS=$home/.local/share/quietmon/quietmon.ini

# window <title>: the id of the program's visible window with that title, once it is mapped.
window() {
  wait_for 20 sh -c "xdotool search --all --onlyvisible --pid $QUIETMON_PID --name '^$1\$' >'$work/id'" || return 1
  head -n 1 "$work/id"
}
closed() { ! xdotool search --all --onlyvisible --pid "$QUIETMON_PID" --name "^$1\$" >/dev/null; }
keys() { xdotool key --delay 40 "$@"; }
write() { keys ctrl+a && xdotool type --delay 12 -- "$1"; } # the focused field's text becomes $1
click() { xdotool mousemove "$1" "$2" click 1; } # no --sync: it waits long where the pointer is already

main=$(window 'Orvane Silence Detector ')
check "the main window is shown without a settings file" test -n "$main"
check "no settings file yet" test ! -e "$SETTINGS"
eval "$(xdotool getwindowgeometry --shell "$main")"
main_x=$X main_y=$Y button_width=$(((WIDTH - 4 - 70 - 9) / 4))
# The buttons share the width beside the meter, 106 to 132 px down: 1 "Mixer", 2 "Setup", 3 "Hide", 4 "Exit".
press_button() { click $((main_x + 70 + ($1 - 1) * (button_width + 3) + button_width / 2)) $((main_y + 119)); }

press_button 2
setup=$(window Setup)
check "\"Setup\" opens the Setup dialog" test -n "$setup"
eval "$(xdotool getwindowgeometry --shell "$setup")"
setup_x=$X setup_y=$Y setup_width=$WIDTH setup_height=$HEIGHT
# The keyboard focus starts on the tab bar; Ctrl+Tab goes on to the next page, where it lands on the first
# field the first time. The list of sub-pages fills the foot of the task pages: a click there gives it the
# focus, and choose <n> shows the n-th sub-page (0 "Send email", 1 "Save screenshot", 8 "Send HTTP query",
# 9 "Speak"). Tab goes from the list into the sub-page shown.
next_page() { keys ctrl+Tab; }
choose() {
  click $((setup_x + 40)) $((setup_y + setup_height - 40))
  keys Home
  local _
  for _ in $(seq "$1"); do keys Down; done
}
add() { keys shift+Tab space; } # "Add" stands before the list: the shown task into the selected row
# The mail's fields from "From" on; "Attach file", its "..." and the two evidence boxes are left alone; the
# login ticked.
mail_fields() { # mail_fields <subject> <message>
  write 'Studio A <monitor@station.test>' && keys Tab
  write engineer@station.test && keys Tab
  write "$1" && keys Tab
  write "$2" && keys Tab
  write "127.0.0.1:$smtp_port" && keys Tab Tab Tab Tab Tab
  keys space Tab space Tab Tab # "Requires authentication:", "SSL", past "Test"
  write monitor && keys Tab
  write "$password"
}

# "Alarm Activation": the always-ticked box, then "seconds of silence".
keys Tab Tab
write 5
# "Alarm Tasks": the queue, from row 1 down.
next_page
choose 1 && add
choose 0 && add
choose 8 && add
choose 9 && add
# "Save screenshot": "File", then "Attach to email", which shows "Send email" with "Attach file" focused.
choose 1 && keys Tab
write "$work/shots/silence-%date-%time.jpg"
keys Tab Tab Tab space shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab
mail_fields 'Silence on %channel' 'Silence since %date %time: on %channel%brScreen attached.'
# The message box is titled like the main window.
message_box() { xdotool search --all --onlyvisible --pid "$QUIETMON_PID" --name '^Orvane Silence Detector $' | grep -vxq "$main"; }
# "Test", above "Username": the server's own certificate is shown first, and trusted with "Yes".
test_and_trust() { # test_and_trust <mail that arrives>
  keys shift+Tab shift+Tab space
  check "\"Test\" shows the server's certificate" wait_for 20 message_box
  keys alt+y
  check "the test mail arrives once it is trusted" wait_for 20 test -e "$work/mail/$1.eml"
  check "\"Test\" reports in a message box" wait_for 10 message_box
  keys Return
  check "Return closes it" wait_for 10 eval '! message_box'
}
test_and_trust 001
choose 8 && keys Tab
write "http://127.0.0.1:$HTTP_PORT/page"
keys Tab
write 'station=studio-a&channel=%channel&at=%time:'
choose 9 && keys Tab
write 'Silence on %channel'
# "Return Tasks": "Send email" into row 1, and its own fields.
next_page
choose 0 && add
keys Tab Tab
mail_fields 'Back on air' 'Back since %date %time:'
test_and_trust 002
# "Settings": "Do not anything first" and "Log events *".
next_page
keys Tab Tab Tab Tab Tab
write 0
keys Tab Tab Tab Tab space
# "Help", at the foot of the buttons beside the pages.
click $((setup_x + setup_width - 51)) $((setup_y + setup_height - 22))
check "\"Help\" opens the installed help page" wait_for 10 grep -qx "$prefix/lib/quietmon/quietmon.htm" "$work/browsed.txt"
keys Escape
check "Setup closes" wait_for 10 closed Setup

ini_value() { tr -d '\r' <"$SETTINGS" | awk -F= -v s="[$1]" -v k="$2" '/^\[/{in_s=($0==s); next} in_s && $1==k {print substr($0, length(k)+2); exit}'; }
ini_is() { [ "$(ini_value "$1" "$2")" = "$3" ]; }
alarm_queue_saved() {
  ini_is Tasks Task1 'Save screenshot' && ini_is Tasks Task2 'Send email' && ini_is Tasks Task3 'Send HTTP query' &&
    ini_is Tasks Task4 Speak && ini_is Tasks Task5 ''
}
check "closing Setup saved the alarm queue" wait_for 10 alarm_queue_saved
check "and the return queue" ini_is RetTasks Task1 'Send email'
check "\"Attach to email\" copied the screenshot's name" ini_is Email File "$work/shots/silence-%date-%time.jpg"
fingerprint=$(openssl x509 -in "$work/cert.pem" -noout -fingerprint -sha256 | cut -d= -f2)
check "both pages trust the server's certificate" eval "ini_is Email TrustedCertificate '$fingerprint' && ini_is RetEmail TrustedCertificate '$fingerprint'"

press_button 4 # "Exit"
check "\"Exit\" ends the program" wait_for 15 gone "$QUIETMON_PID"
QUIETMON_QPA=xcb start_quietmon "$quietmon"
check "started again, it logs" wait_for 30 grep -q 'starting up' "$LOG"

sox -q -n -r 44100 -c 2 -b 16 -e signed "$work/tone.wav" synth 3 sine 1000 vol 0.5
sox -q -D -n -r 44100 -c 2 -b 16 -e signed "$work/gap.wav" trim 0 9
sox -q "$work/tone.wav" "$work/gap.wav" "$work/tone.wav" "$work/tone.wav" -t raw - |
  pacat --server="$PULSE_ADDRESS" --raw --format=s16le --rate=44100 --channels=2 -d e2e_sink &
pids+=($!)
check "the return is logged" wait_for 45 logged 'Returned from alarm condition'
check "the return mail arrives" wait_for 15 test -e "$work/mail/004.eml"
both_sends_logged() { [ "$(count_logged 'Email sent to engineer@station.test')" -eq 2 ]; }
check "the alarm's and the return's mails are logged as sent" wait_for 5 both_sends_logged
kill -TERM "$QUIETMON_PID"
check "SIGTERM ends the program" wait_for 15 gone "$QUIETMON_PID"

check "the log tells the run in order" test "$(tr -d '\r' <"$LOG" | cut -d' ' -f3- | tr '\n' '|')" = \
  'Orvane Silence Detector v. 1.4d starting up...|Alarm activated (silent channel(s): Left and Right)|Email sent to engineer@station.test|Returned from alarm condition|Email sent to engineer@station.test|Exit|'
header() { tr -d '\r' <"$1" | awk -v h="$2: " 'index($0, h) == 1 {print substr($0, length(h) + 1); exit}'; }
through_tls_with_login() {
  local mail
  for mail in "$@"; do
    grep -qE '^X-TLS-Version: TLSv1\.[23]' "$work/mail/$mail.eml" && [ "$(header "$work/mail/$mail.eml" X-Auth-User)" = monitor ] || return 1
  done
}
check "the tests, alarm and return mails came through STARTTLS with the login" through_tls_with_login 001 002 003 004
check "the test mail is the program's" test "$(header "$work/mail/001.eml" Subject)" = 'Orvane Silence Detector Test'
check "the alarm mail's subject names the channels" test "$(header "$work/mail/003.eml" Subject)" = 'Silence on Left and Right'
/usr/bin/python3 - "$work/mail/003.eml" "$work" >"$work/alarm-mail.txt" <<'EOF'
import email, sys
with open(sys.argv[1], 'rb') as eml:
    message = email.message_from_binary_file(eml)
for part in message.walk():
    if part.get_filename():
        print('attached', part.get_filename())
        with open(sys.argv[2] + '/attached.jpg', 'wb') as attached:
            attached.write(part.get_payload(decode=True))
    elif part.get_content_type() == 'text/plain':
        print(part.get_payload(decode=True).decode().replace('\r\n', '\n'), end='')
EOF
time_of_day='[0-2][0-9]:[0-5][0-9]:[0-5][0-9]'
check "its text has the date and time of the alarm and a second line" sh -c "grep -A1 -x 'Silence since $(date +%F) $time_of_day on Left and Right' '$work/alarm-mail.txt' | tail -n 1 | grep -qx 'Screen attached.'"
check "it carries the screenshot, named by the alarm's time" grep -qx "attached silence-$(date +%F)-[0-2][0-9]-[0-5][0-9]-[0-5][0-9].jpg" "$work/alarm-mail.txt"
check "which is the saved one" cmp -s "$work/attached.jpg" "$(ls "$work"/shots/silence-*.jpg)"
check "a JPEG of the whole screen" test "$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0:s=x "$work/attached.jpg")" = mjpegx1280x800
check "the return mail has its own text and time" grep -q "^Back since $(date +%F) $time_of_day" "$work/mail/004.eml"
check "the HTTP query came with the placeholders encoded" \
  grep -qE '^GET /page\?station=studio-a&channel=Left\+and\+Right&at=(%3[0-9]){2}%3A(%3[0-9]){2}%3A(%3[0-9]){2} Orvane Silence Detector$' "$work/requests.txt"
check "the voice was heard" /usr/bin/python3 -c 'import array, sys
data = open(sys.argv[1], "rb").read()
samples = array.array("h", data[: len(data) // 2 * 2])
sys.exit(0 if samples and max(map(abs, samples)) > 3000 else 1)' "$work/speech.raw"

# The settings file after SIGTERM holds what was typed, the password scrambled, and no alarm.
scrambled=$(/usr/bin/python3 -c 'import sys
print("".join(chr(b // 16 + i % 3 + 99) + chr(b % 16 + i % 3 + 102) for i, b in enumerate(sys.argv[1].encode(), 1)))' "$password")
mail_saved() {
  ini_is "$1" SMTP "127.0.0.1:$smtp_port" && ini_is "$1" SSL 1 && ini_is "$1" Authentization 1 &&
    ini_is "$1" Username monitor && ini_is "$1" Password "$scrambled"
}
check "silence 5 s, no start-up delay, the log on" eval 'ini_is Activation Silence 5 && ini_is General StartUpDelay 0 &&
  ini_is General LogEvents 1'
check "both mail servers with STARTTLS and the login" eval 'mail_saved Email && mail_saved RetEmail'
check "the query, the text to speak" eval "ini_is Query Query 'station=studio-a&channel=%channel&at=%time:' &&
  ini_is Speak Text 'Silence on %channel'"
check "no alarm is left" ini_is General Alarm 0
echo "the story took $((SECONDS - started)) s"
[ "$failures" -eq 0 ]
