# Shared pieces of the end-to-end tests: a private sound server, the program started as a user would,
# waiting on its log, and checks. Source it; it keeps its state in $work and cleans up on exit.
set -euo pipefail
work=$(mktemp -d)
chmod 755 "$work"
pids=()
failures=0
as_user=() # a command prefix running things as another user (set by tests that drop privileges)
# shellcheck source=scripts/sound-server.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/sound-server.sh"
# shellcheck source=scripts/display-server.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/display-server.sh"

cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  sleep 0.2
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  # A failed check is explained by what the program logged and printed (QUIETMON_SHOW_LOG=1: after a pass too).
  if [ "$failures" -gt 0 ] || [ -n "${QUIETMON_SHOW_LOG:-}" ]; then
    [ -z "${LOG:-}" ] || [ ! -r "$LOG" ] || { echo "--- the program's log"; tr -d '\r' <"$LOG" | tail -n 60; }
    [ ! -r "$work/quietmon.out" ] || { echo "--- its output"; tail -n 30 "$work/quietmon.out"; }
  fi
  rm -rf "$work"
}
trap cleanup EXIT

check() { # check <description> <command...>
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}

alive() { [ -r "/proc/$1/stat" ] && ! awk '{exit ($3=="Z")?0:1}' "/proc/$1/stat"; }
gone() { ! alive "$1"; }

wait_for() { # wait_for <seconds> <command...>
  local deadline=$((SECONDS + $1))
  shift
  until "$@" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

# A sound server of this test's own (PulseAudio, or PipeWire with QUIETMON_SOUND_SERVER=pipewire: see
# scripts/sound-server.sh) with a null sink e2e_sink, whose monitor is the default source. Sets
# PULSE_ADDRESS; stop_pulse kills it as a crash would.
# start_pulse [MODULE ARGUMENTS]... loads those modules too (a second sink, say).
start_pulse() {
  local dir=$work/pulse
  mkdir -p "$dir"
  chmod 700 "$dir"
  [ ${#as_user[@]} -eq 0 ] || chown "${pulse_owner:-nobody}" "$dir"
  start_sound_server "$dir" "module-null-sink sink_name=e2e_sink format=s16le rate=44100 channels=2" "$@" || return 1
  pids+=("${SOUND_SERVER_PIDS[@]}")
  PULSE_ADDRESS=$SOUND_SERVER_ADDRESS
  set_default_source e2e_sink.monitor
}

stop_pulse() { stop_sound_server; }

# play <seconds> <volume> [<sink>]: a 1 kHz tone (volume 0 plays digital silence) into the private sink
# (or the one named), in the background; sets PLAYER_PID.
play() {
  local effect=(synth "$1" sine 1000 vol "$2")
  [ "$2" = 0 ] && effect=(trim 0 "$1")
  sox -q -D -n -r 44100 -c 2 -b 16 -e signed -t raw - "${effect[@]}" |
    "${as_user[@]}" pacat --server="$PULSE_ADDRESS" --raw --format=s16le --rate=44100 --channels=2 -d "${3:-e2e_sink}" &
  PLAYER_PID=$!
  pids+=("$PLAYER_PID")
}

# The program with a home of its own and the settings given as INI text; sets QUIETMON_PID and LOG. Its
# window goes to Qt's offscreen platform unless QUIETMON_QPA names another (xcb: the X display of $DISPLAY;
# none: the program chooses, as it does when started by hand). Without settings text it starts on the
# settings file already there, or on none, as at a first start, and does not wait for the start-up line
# (the log is off by default). With QUIETMON_INSTANCE=NAME it starts the named monitor NAME, in its own
# folder, printing to $work/quietmon-NAME.out.
start_quietmon() { # start_quietmon <binary> [<settings text>]
  local home=$work/home instance=() out=$work/quietmon.out
  DATA=$home/.local/share/quietmon
  if [ -n "${QUIETMON_INSTANCE:-}" ]; then
    DATA=$DATA/instances/$QUIETMON_INSTANCE instance=(--instance "$QUIETMON_INSTANCE") out=$work/quietmon-$QUIETMON_INSTANCE.out
  fi
  mkdir -p "$DATA" "$work/runtime"
  chmod 700 "$work/runtime"
  [ $# -lt 2 ] || printf '%s' "$2" >"$DATA/quietmon.ini"
  if [ ${#as_user[@]} -gt 0 ]; then chown -R "${pulse_owner:-nobody}" "$home" "$work/runtime"; fi
  LOG=$DATA/quietmon.log
  SETTINGS=$DATA/quietmon.ini
  local platform=(QT_QPA_PLATFORM="${QUIETMON_QPA:-offscreen}") unset_platform=()
  if [ "${QUIETMON_QPA:-}" = none ]; then platform=() unset_platform=(-u QT_QPA_PLATFORM); fi
  env "${unset_platform[@]}" HOME="$home" XDG_RUNTIME_DIR="$work/runtime" PULSE_SERVER="${PULSE_ADDRESS:-}" \
    "${platform[@]}" "${as_user[@]}" "$1" "${instance[@]}" >"$out" 2>&1 &
  QUIETMON_PID=$!
  pids+=("$QUIETMON_PID")
  [ $# -lt 2 ] || wait_for 30 grep -q 'starting up' "$LOG"
}

logged() { tr -d '\r' <"$LOG" | cut -d' ' -f3- | grep -qx -- "$1"; }
count_logged() { tr -d '\r' <"$LOG" | cut -d' ' -f3- | grep -cx -- "$1" || true; }

# A loopback server from a script that prints "port N" and ends when its standard input closes;
# sets SERVER_PORT. start_server <name> <command...>
start_server() {
  local name=$1
  shift
  mkfifo "$work/$name.stdin"
  "$@" <"$work/$name.stdin" >"$work/$name.out" 2>"$work/$name.err" &
  pids+=($!)
  exec {keep}>"$work/$name.stdin" # held open until the test ends
  wait_for 20 grep -q '^port ' "$work/$name.out" || { echo "$name did not start"; cat "$work/$name.err"; return 1; }
  SERVER_PORT=$(awk '/^port / {print $2; exit}' "$work/$name.out")
}

# A display of this test's own, so that real input events reach no other test's windows; sets DISPLAY.
start_xvfb() {
  start_display_server "$work/xvfb.log" || return 1
  pids+=("$DISPLAY_SERVER_PID")
  export DISPLAY=:$DISPLAY_SERVER_NUMBER
}

free_port() { /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

# A Prometheus server of the test's own on the configuration given as YAML text, with its data in $work;
# sets PROMETHEUS_PORT. prometheus_says <query> <value> asks its query API for the one sample's value.
start_prometheus() {
  PROMETHEUS_PORT=$(free_port)
  printf '%s\n' "$1" >"$work/prometheus.yml"
  prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/prometheus-data" \
    --web.listen-address="127.0.0.1:$PROMETHEUS_PORT" >"$work/prometheus.log" 2>&1 &
  pids+=($!)
}
query() { curl -sf "http://127.0.0.1:$PROMETHEUS_PORT/api/v1/query" --data-urlencode "query=$1"; }
value_of() { query "$1" | /usr/bin/python3 -c 'import json, sys; r = json.load(sys.stdin)["data"]["result"]; print(r[0]["value"][1] if r else "none")'; }
prometheus_says() { [ "$(value_of "$1" 2>/dev/null)" = "$2" ]; }

support_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../support" && pwd)
e2e_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
start_smtp() { start_server smtp /usr/bin/python3 "$support_dir/smtp-test-server.py" "$work/mail"; SMTP_PORT=$SERVER_PORT; }
start_http() { start_server http /usr/bin/python3 "$e2e_dir/http-recorder.py" "$work"; HTTP_PORT=$SERVER_PORT; }

# A fake logind (python3-dbusmock's template) on a system bus of this test's own, exported as
# DBUS_SYSTEM_BUS_ADDRESS: reboot and power-off requests are recorded in $LOGIND_CALLS, never carried out.
# start_fake_logind [template parameters as JSON, e.g. '{"CanReboot": "no"}']
start_fake_logind() {
  local parameters=${1:-'{}'} bus=$work/system_bus
  dbus-daemon --session --fork --nopidfile --nosyslog --print-pid=1 --address="unix:path=$bus" \
    </dev/null >"$work/system_bus.pid"
  pids+=("$(cat "$work/system_bus.pid")")
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$bus
  LOGIND_CALLS=$work/logind-calls.log
  /usr/bin/python3 -m dbusmock --system --template logind -p "$parameters" -l "$LOGIND_CALLS" \
    </dev/null >"$work/logind.out" 2>&1 &
  pids+=($!)
  wait_for 15 sh -c "dbus-send --bus='$DBUS_SYSTEM_BUS_ADDRESS' --dest=org.freedesktop.DBus --print-reply / \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 | grep -q 'boolean true'" ||
    { echo "the fake logind did not start:"; cat "$work/logind.out"; return 1; }
}

# Stops the test unless the system bus the program would use is the fake logind's: nothing a test starts
# may ever reach the computer's own logind.
require_fake_logind() {
  if [ "${DBUS_SYSTEM_BUS_ADDRESS:-}" != "unix:path=$work/system_bus" ]; then
    echo "FAILED: DBUS_SYSTEM_BUS_ADDRESS is '${DBUS_SYSTEM_BUS_ADDRESS:-}', not the fake logind's bus"
    exit 1
  fi
}

# The manager's calls the fake logind recorded, one per line, without their time stamps.
logind_calls() { cut -d' ' -f2- "$LOGIND_CALLS" 2>/dev/null || true; }
