#!/usr/bin/env bash
# The real program on the test environment's sound server: a tone, 12 s of silence and the tone again
# played into the null sink raise one alarm and end it, as the log tells.
set -euo pipefail
quietmon=$(realpath "$1")
[ -n "${PULSE_SERVER:-}" ] || { echo "needs the test environment (scripts/test-env)"; exit 1; }
work=$(mktemp -d)
pid= player=
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null
  [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME/.local/share/quietmon"
log=$HOME/.local/share/quietmon/quietmon.log
printf '[General]\r\nLogEvents=1\r\nStartUpDelay=0\r\nVisible=0\r\nAudioInDeviceName=pulse\r\n[Activation]\r\nSilence=10\r\nReturn=1\r\n' \
  >"$HOME/.local/share/quietmon/quietmon.ini"

"$quietmon" >"$work/out.txt" 2>&1 &
pid=$!
for _ in $(seq 100); do grep -q 'starting up' "$log" 2>/dev/null && break; sleep 0.1; done

sox -q -n -r 44100 -c 2 -b 16 -e signed "$work/tone.wav" synth 4 sine 1000 vol 0.5
sox -q -D -n -r 44100 -c 2 -b 16 -e signed "$work/gap.wav" trim 0 12
sox -q "$work/tone.wav" "$work/gap.wav" "$work/tone.wav" "$work/tone.wav" -t raw - |
  pacat --raw --format=s16le --rate=44100 --channels=2 -d "${QUIETMON_PULSE_SINK:-ci_sink}" &
player=$!

deadline=$((SECONDS + 40))
until grep -q 'Returned from alarm condition' "$log" 2>/dev/null || [ $SECONDS -gt $deadline ]; do sleep 0.2; done
texts=$(cut -d' ' -f3- "$log" | tr -d '\r')
echo "$texts"
failures=0
check() { if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi; }
check "the alarm names both channels" grep -qx 'Alarm activated (silent channel(s): Left and Right)' <<<"$texts"
check "the return follows it" sh -c "printf '%s\n' \"\$1\" | grep -A1 -x 'Alarm activated (silent channel(s): Left and Right)' | grep -qx 'Returned from alarm condition'" _ "$texts"
check "one alarm only" test "$(grep -c '^Alarm activated' <<<"$texts")" -eq 1
[ "$failures" -eq 0 ]
