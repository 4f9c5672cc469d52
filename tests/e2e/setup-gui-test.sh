#!/usr/bin/env bash
# The Setup dialog driven as an operator drives it, with real X input events on a display of the test's
# own: "Setup" through the password gate, "seconds of silence" and the email server changed from the
# keyboard, the dialog closed, and the settings file holds both changes at once.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")

start_xvfb
QUIETMON_QPA=xcb start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 \
  'SetupPassword=jhkjii' '[Tasks]' 'Task1=Send email')" # the password is "abc", scrambled

# window <title>: the id of the program's visible window with that title, once it is mapped.
window() {
  local id=
  wait_for 20 sh -c "xdotool search --all --onlyvisible --pid $QUIETMON_PID --name '^$1\$' >'$work/id'" || return 1
  head -n 1 "$work/id"
}
shown() { window "$1" >/dev/null; }
main=$(window 'Orvane Silence Detector ')
check "the main window is shown" test -n "$main"
# "Setup" is the second of the four buttons that share the width beside the meter, 106 to 132 px down.
eval "$(xdotool getwindowgeometry --shell "$main")"
button_width=$(((WIDTH - 4 - 70 - 9) / 4))
xdotool mousemove --sync $((X + 70 + button_width + 3 + button_width / 2)) $((Y + 119)) click 1
check "Setup asks for the password" shown 'Password required'
xdotool type --delay 30 abc
xdotool key Return
setup=$(window Setup)
check "the right password opens Setup" test -n "$setup"
# Alarm Activation: the always-ticked box, then "seconds of silence".
xdotool key --delay 50 Tab Tab ctrl+a
xdotool type --delay 30 42
# Back to the tab bar, on to "Alarm Tasks", then through the queue editor and the email page to the server.
xdotool key --delay 50 shift+Tab shift+Tab Right
for _ in $(seq 11); do xdotool key --delay 30 Tab; done
xdotool key ctrl+a
xdotool type --delay 30 127.0.0.1:2525
xdotool key Escape
check "Setup closes" wait_for 10 sh -c "! xdotool search --all --onlyvisible --pid $QUIETMON_PID --name '^Setup\$' >/dev/null"
ini_value() { tr -d '\r' <"$SETTINGS" | awk -F= -v s="[$1]" -v k="$2" '/^\[/{in_s=($0==s); next} in_s && $1==k {print substr($0, length(k)+2); exit}'; }
check "closing Setup saved the seconds of silence" wait_for 10 test "$(ini_value Activation Silence)" = 42
check "and the email server" test "$(ini_value Email SMTP)" = 127.0.0.1:2525
check "the program is still running" alive "$QUIETMON_PID"
[ "$failures" -eq 0 ]
