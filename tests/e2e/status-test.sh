#!/usr/bin/env bash
# The status endpoint as a fleet uses it: a real Prometheus server scrapes the program every second, and
# its query API shows the silence alarm becoming active. An address other computers could reach, without
# a token, is refused at start-up with a line in the log.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")

status_port=$(free_port)

start_pulse
play 60 0.5 # programme until the test makes it go silent
tone_pid=$PLAYER_PID
start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 AudioInDeviceName=pulse \
  "StatusAddress=127.0.0.1:$status_port" '[Activation]' Silence=4 Return=1)"
check "the endpoint says where it listens" wait_for 10 logged "Status endpoint listening on 127.0.0.1:$status_port"
check "/metrics shows the levels and no alarm, for the unnamed monitor" sh -c \
  "curl -sf http://127.0.0.1:$status_port/metrics | grep -q '^quietmon_level_dbfs{monitor=\"default\",channel=\"left\"}' &&
   curl -sf http://127.0.0.1:$status_port/metrics | grep -qx 'quietmon_alarm_active{monitor=\"default\"} 0'"

start_prometheus "global:
  scrape_interval: 1s
  evaluation_interval: 1s
scrape_configs:
  - job_name: quietmon
    static_configs:
      - targets: [\"127.0.0.1:$status_port\"]"
check "Prometheus scrapes the monitor" wait_for 30 prometheus_says 'up{job="quietmon"}' 1
check "before the silence Prometheus sees no alarm" prometheus_says quietmon_alarm_active 0

kill "$tone_pid"
play 15 0
check "the alarm is raised" wait_for 15 logged 'Alarm activated (silent channel(s): Left and Right)'
check "Prometheus' query API shows the alarm active" wait_for 10 prometheus_says quietmon_alarm_active 1
check "and the alarm counted" prometheus_says quietmon_alarms_total 1
check "/status names the status" sh -c "curl -sf http://127.0.0.1:$status_port/status | grep -q '\"status\":\"Silence!\"'"
check "/status gives the alarm's moment with its UTC offset" sh -c \
  "curl -sf http://127.0.0.1:$status_port/status | grep -Eq '\"lastSilenceAt\":\"$(date +%F)T[0-9:]{8}[+-][0-9]{2}:[0-9]{2}\"'"
kill -TERM "$QUIETMON_PID"
check "the program ends" wait_for 15 gone "$QUIETMON_PID"

start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 AudioInDeviceName=pulse \
  "StatusAddress=0.0.0.0:$status_port")"
check "an address open to other computers without a token is refused, with a log line" wait_for 10 logged \
  "Status endpoint not started - StatusAddress 0.0.0.0:$status_port can be reached from other computers and StatusToken is empty"
check "and nothing listens there" sh -c "! curl -s -o /dev/null http://127.0.0.1:$status_port/metrics"
check "the monitor runs on" alive "$QUIETMON_PID"
[ "$failures" -eq 0 ]
