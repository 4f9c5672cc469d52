#!/usr/bin/env bash
# The mail server is down during the alarm: the failure is logged, the queue goes on and the HTTP query
# still arrives.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")

start_pulse
start_http
# A port nobody listens on: taken and given back at once.
closed_port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 AudioInDeviceName=pulse \
  '[Activation]' Silence=5 Return=1 '[Tasks]' 'Task1=Send email' 'Task2=Send HTTP query' \
  '[Email]' From=monitor@station.test To=engineer@station.test "SMTP=127.0.0.1:$closed_port" \
  '[Query]' "Address=http://127.0.0.1:$HTTP_PORT/alarm" 'Query=ch=%channel')"
play 3 0.5
sleep 3
play 12 0
check "the alarm is raised" wait_for 20 logged 'Alarm activated (silent channel(s): Left and Right)'
check "the failed email is logged" wait_for 20 sh -c "tr -d '\r' <'$LOG' | grep -q '; An error occured when trying to send email: '"
check "the HTTP query still arrives" wait_for 20 grep -q '^GET /alarm?ch=Left+and+Right ' "$work/requests.txt"
check "the program is still running" alive "$QUIETMON_PID"
[ "$failures" -eq 0 ]
