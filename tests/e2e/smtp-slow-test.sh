#!/usr/bin/env bash
# A mail server that answers every line just inside the reply time-out: the alarm mail waits for it in the
# background while the monitor goes on. The status endpoint's levels follow the programme, the return is
# taken as soon as sound is back (the queue is set to be broken by it), and the send ends at the deadline
# for the whole message, not after the many minutes the server would take.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")

start_pulse
start_server smtp /usr/bin/python3 "$support_dir/smtp-test-server.py" "$work/mail" --mode slow --interval 19
status_port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 AudioInDeviceName=pulse \
  "StatusAddress=127.0.0.1:$status_port" '[Activation]' Silence=4 Return=1 BreakQueue=1 '[Tasks]' 'Task1=Send email' \
  '[Email]' From=monitor@station.test To=engineer@station.test "SMTP=127.0.0.1:$SERVER_PORT")"
play 3 0.5
sleep 3
play 8 0
check "the alarm is raised" wait_for 20 logged 'Alarm activated (silent channel(s): Left and Right)'
alarm_at=$SECONDS
left_level() { curl -sf "http://127.0.0.1:$status_port/metrics" | awk '$1 == "quietmon_level_dbfs{monitor=\"default\",channel=\"left\"}" {print int($2)}'; }
check "while the mail waits, /metrics shows the silence" wait_for 10 eval '[ "$(left_level)" -le -90 ]'
play 20 0.5
check "and the programme when it is back" wait_for 10 eval '[ "$(left_level)" -ge -20 ]'
check "the return is taken at once, with the mail still on its way" wait_for 10 logged 'Returned from alarm condition'
check "the send was still running then" eval '! grep -q "trying to send email" "$LOG"'
check "the send ends at its deadline with a log line" wait_for 75 logged \
  'An error occured when trying to send email: The SMTP server did not take the message within 60000 ms.'
took=$((SECONDS - alarm_at))
check "about a minute after the alarm ($took s)" test "$took" -ge 55 -a "$took" -le 75
check "the program is still running" alive "$QUIETMON_PID"
[ "$failures" -eq 0 ]
