#!/usr/bin/env bash
# An alarm and its return by email with the level graph and the audio clip attached, on a machine without
# a display: tone, silence, tone. Each mail carries a PNG of the levels and what was on air as Ogg Opus.
#   evidence-story-test.sh QUIETMON [GRAPH.png]   (the alarm mail's graph is kept where the second names)
source "$(dirname "$0")/lib.sh"
quietmon=$(realpath "$1")
kept_graph=${2:-}

start_pulse
start_smtp
unset DISPLAY XAUTHORITY
export QUIETMON_QPA=none
email_keys() { # email_keys <subject>
  printf '%s\r\n' From=monitor@station.test To=engineer@station.test "SMTP=127.0.0.1:$SMTP_PORT" "Subject=$1" \
    'Message=%date %time' AttachLevelGraph=1 AttachAudioClip=1
}
start_quietmon "$quietmon" "$(printf '%s\r\n' '[General]' LogEvents=1 StartUpDelay=0 Visible=0 AudioInDeviceName=pulse \
  '[Activation]' Silence=10 Return=1 '[Tasks]' 'Task1=Send email' '[RetTasks]' 'Task1=Send email' '[Email]')
$(email_keys Silence)
$(printf '%s\r\n' '[RetEmail]')
$(email_keys Back)"

sox -q -n -r 44100 -c 2 -b 16 -e signed "$work/tone.wav" synth 25 sine 1000 vol 0.5
sox -q -D -n -r 44100 -c 2 -b 16 -e signed "$work/gap.wav" trim 0 14
sox -q "$work/tone.wav" "$work/gap.wav" "$work/tone.wav" -t raw - |
  pacat --server="$PULSE_ADDRESS" --raw --format=s16le --rate=44100 --channels=2 -d e2e_sink &
pids+=($!)

check "the alarm email arrives" wait_for 60 test -e "$work/mail/001.eml"
check "the return email arrives" wait_for 30 test -e "$work/mail/002.eml"
# Each mail's attachments as files: NNN-<name>.
for mail in 001 002; do
  /usr/bin/python3 - "$work/mail/$mail.eml" "$work/$mail" <<'PYTHON'
import email, sys
with open(sys.argv[1], 'rb') as eml:
    message = email.message_from_binary_file(eml)
for part in message.walk():
    if part.get_filename():
        with open(sys.argv[2] + '-' + part.get_filename(), 'wb') as attached:
            attached.write(part.get_payload(decode=True))
PYTHON
done
texts=$(tr -d '\r' <"$LOG" | cut -d' ' -f3-)
check "nothing was left out" sh -c "! printf '%s\n' \"\$1\" | grep -q 'not attached'" _ "$texts"

# volume <file> <from> <seconds>: the loudest sample's level in dB in that stretch of the clip.
volume() {
  ffmpeg -nostdin -v info -ss "$2" -t "$3" -i "$1" -af volumedetect -f null - 2>&1 |
    sed -n 's/.*max_volume: \(-\?[0-9.]*\) dB.*/\1/p'
}
duration() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1"; }
between() { awk -v v="$1" -v low="$2" -v high="$3" 'BEGIN { exit !(v != "" && v >= low && v <= high) }'; }
declare -A clips
for mail in 001 002; do
  graph=$(ls "$work/$mail"-levels-*.png 2>/dev/null | head -1)
  check "mail $mail: the level graph is an 800x300 PNG" \
    test "$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0:s=x "${graph:-none}")" = pngx800x300
  clip=$(ls "$work/$mail"-on-air-*.opus 2>/dev/null | head -1)
  check "mail $mail: the clip is Ogg Opus" test "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "${clip:-none}")" = opus
  clips[$mail]=${clip:-none}
done
[ -z "$kept_graph" ] || cp "$work"/001-levels-*.png "$kept_graph"
alarm_clip=${clips[001]}
check "the alarm clip holds 20 s of programme and at most 10 s of the silence" between "$(duration "$alarm_clip")" 27 30.5
check "its first 20 s are the tone" between "$(volume "$alarm_clip" 0.5 19)" -10 0
check "then the silence" between "$(volume "$alarm_clip" 20.5 6)" -200 -60
return_clip=${clips[002]}
check "the return clip holds 10 s of the silence and the sound since" between "$(duration "$return_clip")" 10.5 30.5
check "its first 10 s are the silence" between "$(volume "$return_clip" 0.5 9)" -200 -60
check "then the tone" between "$(volume "$return_clip" 10.5 0.5)" -10 0
kill -TERM "$QUIETMON_PID"
check "the program ends" wait_for 15 gone "$QUIETMON_PID"
[ "$failures" -eq 0 ]
