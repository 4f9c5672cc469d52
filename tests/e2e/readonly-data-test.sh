#!/usr/bin/env bash
# The data folder becomes read-only while the program runs, as an unprivileged user (root would write
# anyway): the program keeps monitoring and alarming, and exits with its settings file whole.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")
if [ "$(id -u)" = 0 ]; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  # The program must be reachable by that user.
  cp "$quietmon" "$work/quietmon-bin" && mkdir -p "$work/quietmon" && mv "$work/quietmon-bin" "$work/quietmon/quietmon"
  chmod -R a+rx "$work/quietmon"
  quietmon=$work/quietmon/quietmon
fi

start_pulse
start_quietmon "$quietmon" $'[General]\r\nLogEvents=1\r\nStartUpDelay=0\r\nVisible=0\r\nAudioInDeviceName=pulse\r\n[Activation]\r\nSilence=5\r\nReturn=1\r\n'
"${as_user[@]}" chmod 500 "$DATA"
check "the folder is read-only for the program's user" sh -c "! ${as_user[*]} touch '$DATA/probe' 2>/dev/null"
play 3 0.5
sleep 3
play 10 0
check "silence still raises the alarm" wait_for 20 logged 'Alarm activated (silent channel(s): Left and Right)'
play 5 0.5
check "sound still ends it" wait_for 15 logged 'Returned from alarm condition'
check "the program is still running" alive "$QUIETMON_PID"
kill -TERM "$QUIETMON_PID"
check "SIGTERM ends it" wait_for 15 sh -c "! [ -r /proc/$QUIETMON_PID/stat ] || awk '{exit (\$3==\"Z\")?0:1}' /proc/$QUIETMON_PID/stat"
check "Exit is logged last" sh -c "[ \"\$(tail -n 1 '$LOG' | tr -d '\r' | cut -d' ' -f3-)\" = Exit ]"
check "the settings file is whole" grep -q '^SetupPassword=' "$SETTINGS"
check "the saved state is in it" grep -q $'^Silence=5\r$' "$SETTINGS"
# The level history's ring is made at the start, unless the folder was read-only by then already.
check "no temporary file was left" sh -c "[ -z \"\$(ls -A '$DATA' | grep -vx -e quietmon.ini -e quietmon.log -e quietmon-levels.bin)\" ]"
[ "$failures" -eq 0 ]
