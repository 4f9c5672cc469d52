# A virtual X display for the test environment, the end-to-end tests and scripts/start; sourced.
#
#   start_display_server LOG [NUMBER [XVFB ARGUMENTS]...]
# starts Xvfb (one screen of DISPLAY_SERVER_SCREEN, by default 1280x800x24, no TCP, no reset when its last
# client leaves, then the further arguments as they are) on :NUMBER, or without one on a free number of its
# choosing, with its output in LOG, and returns once it takes clients.
# Sets DISPLAY_SERVER_PID and DISPLAY_SERVER_NUMBER. Xvfb runs through the array `server_prefix` when the
# caller set one (e.g. setsid, so that it outlives the caller's terminal). A lock file and socket that a
# killed server left on NUMBER are removed first; a lock that a live process holds is not touched, and the
# call returns 3 with that process in DISPLAY_SERVER_LOCK_HOLDER. Returns 1, with the server's last lines
# on stderr, when it does not take clients within 15 s.
start_display_server() {
  local log=$1 number=${2:-} ready _
  shift $(($# < 2 ? $# : 2))
  local -a prefix=("${server_prefix[@]+"${server_prefix[@]}"}")
  local -a server=(Xvfb -screen 0 "${DISPLAY_SERVER_SCREEN:-1280x800x24}" -nolisten tcp -noreset "$@")
  DISPLAY_SERVER_NUMBER=
  if [ -z "$number" ]; then
    # Xvfb writes the number it chose into this pipe once it takes clients (and then makes no lock file).
    exec {ready}<> <(:)
    "${prefix[@]}" "${server[@]}" -displayfd "$ready" </dev/null >"$log" 2>&1 &
    DISPLAY_SERVER_PID=$!
    read -r -t 15 -u "$ready" DISPLAY_SERVER_NUMBER || true
    exec {ready}<&-
  else
    local lock=/tmp/.X$number-lock
    if [ -e "$lock" ]; then
      DISPLAY_SERVER_LOCK_HOLDER=$(tr -d ' \n' <"$lock" 2>/dev/null || true)
      if [ -n "$DISPLAY_SERVER_LOCK_HOLDER" ] && [ -r "/proc/$DISPLAY_SERVER_LOCK_HOLDER/stat" ] &&
        ! awk '{exit ($3=="Z")?0:1}' "/proc/$DISPLAY_SERVER_LOCK_HOLDER/stat"; then
        return 3
      fi
      rm -f "$lock" "/tmp/.X11-unix/X$number"
    fi
    "${prefix[@]}" "${server[0]}" ":$number" "${server[@]:1}" </dev/null >"$log" 2>&1 &
    DISPLAY_SERVER_PID=$!
    for _ in $(seq 150); do
      if xdpyinfo -display ":$number" >/dev/null 2>&1; then
        DISPLAY_SERVER_NUMBER=$number
        break
      fi
      [ -r "/proc/$DISPLAY_SERVER_PID/stat" ] || break
      sleep 0.1
    done
  fi
  if [ -z "$DISPLAY_SERVER_NUMBER" ]; then
    echo "Xvfb did not start${number:+ on :$number}:" >&2
    tail -n 5 "$log" >&2 || true
    kill -KILL "$DISPLAY_SERVER_PID" 2>/dev/null || true
    return 1
  fi
}
