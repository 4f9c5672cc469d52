#!/usr/bin/env bash
# quietmon --scan on generated recordings.
set -euo pipefail
quietmon=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home
unset XDG_DATA_HOME
mkdir -p "$HOME"
failures=0
check() { # check <description> <command...>
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
# wav <file> <rate> <channels> <bits> <python expression of the samples>: a WAV file of those samples
wav() {
  /usr/bin/python3 - "$@" <<'PY'
import sys, wave, struct
path, rate, channels, bits, expression = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
samples = eval(expression)
with wave.open(path, "wb") as out:
    out.setnchannels(channels)
    out.setsampwidth(bits // 8)
    out.setframerate(rate)
    if bits == 16:
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))
    else:
        out.writeframes(bytes(len(samples) * (bits // 8)))
PY
}
settings() { printf '[General]\r\n%s\r\n' "$@" >"$work/settings.ini"; }
levels_of() { awk '{print $2}' "$1" | tr '\n' ' ' | sed 's/ $//'; }

# One full-scale sample, then zeros: the held peak fades as the hold time says.
wav "$work/click.wav" 44100 2 16 "[32767, 0] + [0] * (2 * 5512 * 11 - 2)"
settings "PeakHoldTime=100" "DCFilter=0"
"$quietmon" --scan "$work/click.wav" --levels --settings-file "$work/settings.ini" >"$work/hold100.txt"
check "hold 100 ms gives 0 0 -17 -45 -84 -96" test "$(levels_of "$work/hold100.txt" | cut -d' ' -f1-6)" = "0 0 -17 -45 -84 -96"
check "the first buffer is measured at 0.125 s" test "$(head -n 1 "$work/hold100.txt" | cut -d' ' -f1)" = 0.125
check "eleven buffers, eleven lines" test "$(wc -l <"$work/hold100.txt")" -eq 11
check "the silent right channel reads -96" test "$(head -n 1 "$work/hold100.txt" | cut -d' ' -f3)" = -96
settings "PeakHoldTime=1000" "DCFilter=0"
"$quietmon" --scan "$work/click.wav" --levels --settings-file "$work/settings.ini" >"$work/hold1000.txt"
check "hold 1000 ms gives 0 0 0 0 -1 -2 -3 -4 -6 -7 -9" test "$(levels_of "$work/hold1000.txt")" = "0 0 0 0 -1 -2 -3 -4 -6 -7 -9"

# Mono counts as the same samples in both channels; any rate; a partial last buffer is not measured.
wav "$work/mono.wav" 22050 1 16 "[16384] * (5512 * 3 + 100)"
settings "DCFilter=0"
"$quietmon" --scan "$work/mono.wav" --levels --settings-file "$work/settings.ini" >"$work/mono.txt"
check "a mono file reads on both channels" test "$(head -n 1 "$work/mono.txt")" = "0.250 -6 -6"
check "a trailing partial buffer is not measured" test "$(wc -l <"$work/mono.txt")" -eq 3
check "offsets follow the sample rate" test "$(tail -n 1 "$work/mono.txt" | cut -d' ' -f1)" = 0.750

# Without --levels and without silence there is nothing to print.
"$quietmon" --scan "$work/mono.wav" --settings-file "$work/settings.ini" >"$work/quiet.txt"
check "no events, no output" test ! -s "$work/quiet.txt"

# Tone, 12 s of digital silence, tone: one alarm 10 s (+1 ms) after the held level fell below the
# threshold in both channels, one return 1 s (+1 ms) after the tone came back.
sox -q -n -r 44100 -c 2 -b 16 -e signed "$work/tone.wav" synth 5 sine 1000 vol 0.5
sox -q -D -n -r 44100 -c 2 -b 16 -e signed "$work/gap.wav" trim 0 12
sox -q "$work/tone.wav" "$work/gap.wav" "$work/tone.wav" "$work/story.wav"
printf '[Activation]\r\nSilence=10\r\nReturn=1\r\n' >"$work/story.ini"
# Relative names, on a first run that creates the data folder (and with it changes the current folder).
rm -rf "$HOME/.local"
(cd "$work" && "$quietmon" --scan story.wav --settings-file story.ini --levels) >"$work/story.txt" 2>"$work/story.err"
first_silent=$(awk '$2 < -25 && $3 < -25 {print $1; exit}' "$work/story.txt")
sound_again=$(awk -v s="$first_silent" '$1 > s && $2 >= -25 && $2 ~ /^-?[0-9]+$/ {print $1; exit}' "$work/story.txt")
alarm_at=$(awk -v s="$first_silent" 'BEGIN {printf "%.3f", s + 10.001}')
return_at=$(awk -v s="$sound_again" 'BEGIN {printf "%.3f", s + 1.001}')
check "the silence is found after the tone" test -n "$first_silent"
check "one alarm, naming both channels, 10.001 s after the first silent buffer" \
  test "$(grep ' alarm ' "$work/story.txt")" = "$alarm_at alarm Left and Right"
check "one return 1.001 s after the sound came back" test "$(grep ' return$' "$work/story.txt")" = "$return_at return"
check "the alarm comes after the tone ends at 5 s" awk -v a="$alarm_at" 'BEGIN {exit !(a > 15.0 && a < 16.0)}'
check "the return comes after the tone is back at 17 s" awk -v r="$return_at" 'BEGIN {exit !(r > 18.0 && r < 18.5)}'
check "the scan sums up its settings and alarms on standard error" \
  test "$(cat "$work/story.err")" = "scan: silence 10 s, return 1 s, threshold -25 dB, in both channels; 1 alarm"
printf '[Activation]\r\nSilence=10\r\nReturn=1\r\nChannels=3\r\n[General]\r\nThreshold=30\r\nRightName=Studio B\r\n' >"$work/right.ini"
"$quietmon" --scan "$work/story.wav" --settings-file "$work/right.ini" >"$work/events.txt" 2>"$work/events.err"
check "without --levels only the two events are printed" test "$(wc -l <"$work/events.txt")" -eq 2
check "the summary names the threshold and the channel rule with its channel's name" \
  test "$(cat "$work/events.err")" = "scan: silence 10 s, return 1 s, threshold -30 dB, in channel Studio B; 1 alarm"

# The same story in other formats gives the same events, each within one buffer (0.125 s) of the WAV's.
events_of() { awk '{print $2}' "$1" | tr '\n' ' '; }
times_of() { awk '{print $1}' "$1" | tr '\n' ' '; }
within_a_buffer() { # within_a_buffer "<times>" "<times>"
  awk -v a="$1" -v b="$2" 'BEGIN {n = split(a, x, " "); if (n != split(b, y, " ") || n == 0) exit 1
    for (i = 1; i <= n; i++) if (x[i] - y[i] > 0.125 || y[i] - x[i] > 0.125) exit 1}'
}
"$quietmon" --scan "$work/story.wav" --settings-file "$work/story.ini" >"$work/wav.txt"
for format in mp3 flac ogg opus m4a s24.wav f32.wav mono22050.s24.wav; do
  case $format in
    s24.wav) codec=(-c:a pcm_s24le) ;;
    f32.wav) codec=(-c:a pcm_f32le) ;;
    mono22050.s24.wav) codec=(-ar 22050 -ac 1 -c:a pcm_s24le) ;;
    *) codec=() ;;
  esac
  ffmpeg -nostdin -loglevel error -i "$work/story.wav" "${codec[@]}" "$work/story.$format"
  "$quietmon" --scan "$work/story.$format" --settings-file "$work/story.ini" >"$work/$format.txt"
  check "$format: an alarm and a return as in the WAV" \
    test "$(events_of "$work/$format.txt")" = "$(events_of "$work/wav.txt")"
  check "$format: each within one buffer of the WAV's" \
    within_a_buffer "$(times_of "$work/$format.txt")" "$(times_of "$work/wav.txt")"
done

# Files that cannot be scanned.
printf 'not a wav' >"$work/text.wav"
for bad in text.wav missing.wav; do
  set +e
  "$quietmon" --scan "$work/$bad" >"$work/out.txt" 2>"$work/err.txt"; status=$?
  set -e
  check "$bad is refused with exit code 2" test "$status" -eq 2
  check "$bad is refused with a message" grep -q "^quietmon: .*$bad" "$work/err.txt"
  [ "$bad" = text.wav ] && check "a file without audio is named as such" grep -q "holds no audio that can be scanned" "$work/err.txt"
done
set +e
"$quietmon" --levels >/dev/null 2>&1; status=$?
set -e
check "--levels without --scan is a usage error" test "$status" -eq 2
# A settings file that is not there is an error, not a scan with the defaults.
set +e
"$quietmon" --scan "$work/story.wav" --settings-file "$work/nope.ini" >"$work/out.txt" 2>"$work/err.txt"; status=$?
set -e
check "a missing settings file is refused with exit code 2" test "$status" -eq 2 -a ! -s "$work/out.txt"
check "a missing settings file is named with the reason" \
  test "$(cat "$work/err.txt")" = "quietmon: cannot read settings file $work/nope.ini: No such file or directory"

[ "$failures" -eq 0 ]
