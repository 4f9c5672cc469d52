#!/usr/bin/env bash
# Several monitors on one computer, watched by a real Prometheus and Alertmanager. Two named monitors run
# at once on two sources of the test's own sound server: "studio" keeps its programme, "stream" goes
# silent. Only "stream" alarms, and each keeps its own log and settings. A second start of a name ends at
# once; another name starts, and a status port already taken is logged while the others run on.
# Prometheus scrapes both with the shipped rules (a short "for:" in a test copy); Alertmanager delivers
# to a webhook receiver exactly one alert, labelled with the silent monitor's name, and its resolution
# once the programme is back.
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")

start_pulse "module-null-sink sink_name=e2e_stream format=s16le rate=44100 channels=2 sink_properties=device.description=Stream"
start_http # the webhook receiver
devices=$(PULSE_SERVER=$PULSE_ADDRESS QT_QPA_PLATFORM=offscreen HOME=$work "$quietmon" --list-devices)
studio_device=$(grep '^Active endpoint listening: Monitor of' <<<"$devices" | grep -vm1 'Monitor of Stream$' || true)
stream_device=$(grep -m1 '^Active endpoint listening: Monitor of Stream$' <<<"$devices" || true)
check "both sources are offered" test -n "$studio_device" -a -n "$stream_device"

play 150 0.5 e2e_sink
play 150 0.5 e2e_stream
stream_tone=$PLAYER_PID

settings() { # settings <device> <status port>
  printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 "AudioInDeviceName=$1" "StatusAddress=127.0.0.1:$2" \
    '[Activation]' Silence=4 Return=1
}
declare -A pid log settings_file port
for name in studio stream; do
  port[$name]=$(free_port)
  device_of=${name}_device
  QUIETMON_INSTANCE=$name start_quietmon "$quietmon" "$(settings "${!device_of}" "${port[$name]}")"
  pid[$name]=$QUIETMON_PID log[$name]=$LOG settings_file[$name]=$SETTINGS
done
logged_by() { LOG=${log[$1]} logged "$2"; }                  # logged_by <name> <line>
count_logged_by() { LOG=${log[$1]} count_logged "$2"; }      # count_logged_by <name> <line>
for name in studio stream; do
  check "$name listens on its own port" wait_for 10 logged_by $name "Status endpoint listening on 127.0.0.1:${port[$name]}"
done

# Prometheus with the shipped rules, every "for:" made 2 s, and Alertmanager grouping per monitor.
sed 's/^\( *for:\) .*/\1 2s/' "$e2e_dir/../../docs/monitoring/quietmon-rules.yml" >"$work/rules.yml"
alertmanager_port=$(free_port)
cat >"$work/alertmanager.yml" <<YAML
route:
  receiver: webhook
  group_by: [alertname, monitor]
  group_wait: 1s
  group_interval: 1s
  repeat_interval: 1h
receivers:
  - name: webhook
    webhook_configs:
      - url: http://127.0.0.1:$HTTP_PORT/alerts
        send_resolved: true
YAML
prometheus-alertmanager --config.file="$work/alertmanager.yml" --storage.path="$work/alertmanager-data" \
  --web.listen-address="127.0.0.1:$alertmanager_port" --cluster.listen-address= >"$work/alertmanager.log" 2>&1 &
pids+=($!)
start_prometheus "global:
  scrape_interval: 1s
  evaluation_interval: 1s
rule_files: [\"$work/rules.yml\"]
alerting:
  alertmanagers:
    - static_configs:
        - targets: [\"127.0.0.1:$alertmanager_port\"]
scrape_configs:
  - job_name: quietmon
    static_configs:
      - targets: [\"127.0.0.1:${port[studio]}\", \"127.0.0.1:${port[stream]}\"]"
for name in studio stream; do
  check "Prometheus scrapes $name, on air" wait_for 30 prometheus_says "quietmon_alarm_active{monitor=\"$name\"}" 0
done
check "quietmon_info tells each monitor's title and input" prometheus_says \
  "quietmon_info{monitor=\"stream\",title=\"Orvane Silence Detector - stream\",input=\"$stream_device\"}" 1

kill "$stream_tone"
play 60 0 e2e_stream
stream_silence=$PLAYER_PID
check "the silent monitor alarms" wait_for 15 logged_by stream 'Alarm activated (silent channel(s): Left and Right)'
# While it is silent: the same name again, and a third monitor on a port already taken.
set +e
timeout 20 env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen "$quietmon" --instance stream \
  >"$work/second.out" 2>&1
second_status=$?
set -e
check "a second start of stream ends at once, with exit code 0" test "$second_status" -eq 0
check "and logs nothing" test "$(grep -c 'starting up' "${log[stream]}")" -eq 1
QUIETMON_INSTANCE=spare start_quietmon "$quietmon" "$(settings "$studio_device" "${port[studio]}")"
check "another name starts, and logs that the port is taken" wait_for 10 \
  grep -q "Status endpoint not started - .*; trying again every 30 s" "$LOG"
check "it runs on" alive "$QUIETMON_PID"
kill -TERM "$QUIETMON_PID"
check "studio still answers on its port, with its name" sh -c \
  "curl -sf http://127.0.0.1:${port[studio]}/status | grep -q '\"monitor\":\"studio\"'"

alerts() { # alerts <status>: the webhook's alerts of that status, as "alertname monitor", a line each
  /usr/bin/python3 - "$work/posts.txt" "$1" <<'EOF'
import json, sys
for line in open(sys.argv[1]):
    for alert in json.loads(line)["alerts"]:
        if alert["status"] == sys.argv[2]:
            print(alert["labels"]["alertname"], alert["labels"].get("monitor", "-"))
EOF
}
delivered() { alerts "$1" 2>/dev/null | grep -q .; }
check "Alertmanager delivers the silence" wait_for 30 delivered firing
kill "$stream_silence"
play 30 0.5 e2e_stream
check "the programme ends stream's alarm" wait_for 15 logged_by stream 'Returned from alarm condition'
check "Alertmanager delivers its resolution" wait_for 30 delivered resolved
check "exactly one alert fired: stream's silence" test "$(alerts firing)" = "QuietmonSilence stream"
check "and exactly that one resolved" test "$(alerts resolved)" = "QuietmonSilence stream"

check "studio never alarmed" test "$(count_logged_by studio 'Alarm activated (silent channel(s): Left and Right)')" -eq 0
check "stream alarmed once" test "$(count_logged_by stream 'Alarm activated (silent channel(s): Left and Right)')" -eq 1
saved() { grep -qx "$2"$'\r' "${settings_file[$1]}"; } # saved <name> <key=value>
for name in studio stream; do
  kill -TERM "${pid[$name]}"
  check "$name ends" wait_for 15 gone "${pid[$name]}"
  check "$name saved its own port" saved $name "StatusAddress=127.0.0.1:${port[$name]}"
  check "and its own title, which names it" saved $name "Title=Orvane Silence Detector - $name"
done
check "the unnamed monitor's folder holds no settings of theirs" test ! -e "$work/home/.local/share/quietmon/quietmon.ini"
[ "$failures" -eq 0 ]
