# A private sound server in a folder of its own, for the test environment and the end-to-end tests;
# sourced. QUIETMON_SOUND_SERVER chooses it:
#   pulseaudio (the default)  PulseAudio, with no configuration of its own (-n), anonymous clients welcome
#   pipewire                  PipeWire, its session manager WirePlumber and its PulseAudio server, as
#                             Debian 12's desktops run them, on a session bus of their own
#
#   start_sound_server DIR [MODULE ARGUMENTS]...
# starts it with DIR as its runtime and home folder and loads one module per argument (as pactl
# load-module takes them, e.g. "module-null-sink sink_name=x"). Sets SOUND_SERVER_PIDS (every process
# it started, the session bus among them), SOUND_SERVER_ADDRESS (unix:…, for PULSE_SERVER) and
# SOUND_SERVER_NAME. Commands run through the arrays `server_prefix` (e.g. setsid, so that the server
# outlives the caller's terminal) and `as_user` when the caller set them. Returns non-zero, with the
# server's last log lines on stderr, when it does not answer within 15 s.
#   start_test_sound_server DIR FIFO
# the same with the test environment's devices: a null sink "ci_sink" (s16le, 2 ch, 44100 Hz) and a pipe
# source "ci_mic" fed by writing raw s16le/2ch/44100 into FIFO; DIR is made, private to its owner.
#   stop_sound_server       SIGKILL to every process of it, as a crash would end them
sound_server_choice() { echo "${QUIETMON_SOUND_SERVER:-pulseaudio}"; }

start_sound_server() {
  local dir=$1
  shift
  local -a prefix=("${server_prefix[@]+"${server_prefix[@]}"}" "${as_user[@]+"${as_user[@]}"}")
  local -a server_env=(env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u PULSE_SERVER HOME="$dir" XDG_RUNTIME_DIR="$dir"
    XDG_CONFIG_HOME="$dir/config")
  SOUND_SERVER_NAME=$(sound_server_choice)
  SOUND_SERVER_PIDS=()
  rm -rf "$dir/native" "$dir/pulse" "$dir/bus" "$dir"/pipewire-0*
  case $SOUND_SERVER_NAME in
  pipewire)
    SOUND_SERVER_ADDRESS=unix:$dir/pulse/native
    "${prefix[@]}" dbus-daemon --session --fork --nopidfile --print-pid=1 --address="unix:path=$dir/bus" \
      </dev/null >"$dir/bus.pid" || return 1
    SOUND_SERVER_PIDS+=("$(cat "$dir/bus.pid")")
    local program tries
    for program in pipewire wireplumber pipewire-pulse; do
      "${server_env[@]}" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus" "${prefix[@]}" "$program" \
        </dev/null >"$dir/$program.log" 2>&1 &
      SOUND_SERVER_PIDS+=($!)
      disown # a kill is no news to report
      # The session manager and the PulseAudio server connect to PipeWire's socket as they start.
      for tries in $(seq 100); do [ "$program" != pipewire ] || [ -S "$dir/pipewire-0" ] && break; sleep 0.1; done
    done
    ;;
  pulseaudio)
    SOUND_SERVER_ADDRESS=unix:$dir/native
    "${server_env[@]}" "${prefix[@]}" \
      pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit=yes --realtime=no --high-priority=no \
      --log-target="file:$dir/pulseaudio.log" \
      --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native" </dev/null >/dev/null 2>&1 &
    SOUND_SERVER_PIDS+=($!)
    disown
    ;;
  *)
    echo "QUIETMON_SOUND_SERVER=$SOUND_SERVER_NAME: pulseaudio or pipewire" >&2
    return 2
    ;;
  esac
  local _
  for _ in $(seq 150); do
    pactl --server="$SOUND_SERVER_ADDRESS" info >/dev/null 2>&1 && break
    sleep 0.1
  done
  if ! pactl --server="$SOUND_SERVER_ADDRESS" info >/dev/null 2>&1; then
    echo "the private $SOUND_SERVER_NAME in $dir did not start:" >&2
    tail -n 5 "$dir"/*.log >&2 2>/dev/null || true
    return 1
  fi
  local module
  for module in "$@"; do
    # shellcheck disable=SC2086 # the arguments of one module, split as pactl takes them
    "${prefix[@]}" pactl --server="$SOUND_SERVER_ADDRESS" load-module $module >/dev/null || return 1
  done
}

start_test_sound_server() {
  local dir=$1 fifo=$2
  mkdir -p "$dir"
  chmod 700 "$dir"
  # module-pipe-source creates the FIFO itself and fails (EEXIST) if one is left over, e.g. by a server
  # that was SIGKILLed.
  rm -f "$fifo"
  start_sound_server "$dir" \
    "module-null-sink sink_name=ci_sink format=s16le rate=44100 channels=2 sink_properties=device.description=Test_Null_Sink" \
    "module-pipe-source source_name=ci_mic file=$fifo format=s16le rate=44100 channels=2 source_properties=device.description=Test_Pipe_Mic"
}

# set_default_source SOURCE: PipeWire's session manager takes a new source as a possible default only once
# it has seen it, a moment after it was made.
set_default_source() {
  local _
  for _ in $(seq 100); do
    pactl --server="$SOUND_SERVER_ADDRESS" set-default-source "$1" >/dev/null 2>&1 &&
      pactl --server="$SOUND_SERVER_ADDRESS" info | grep -qx "Default Source: $1" && return 0
    sleep 0.1
  done
  echo "the default source of the private $SOUND_SERVER_NAME is not $1" >&2
  return 1
}

stop_sound_server() {
  local pid
  for pid in "${SOUND_SERVER_PIDS[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  for pid in "${SOUND_SERVER_PIDS[@]}"; do
    # The process may end between the two looks.
    while [ -r "/proc/$pid/stat" ] && ! awk '{exit ($3=="Z")?0:1}' "/proc/$pid/stat" 2>/dev/null; do sleep 0.05; done
  done
}
