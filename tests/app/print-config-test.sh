#!/usr/bin/env bash
# The real program's command-line modes, run as a user would with a home folder of its own.
source "$(dirname "$0")/lib.sh"
key() { # key <section> <key> <file>: the value of a key in an INI text
  awk -v s="[$1]" -v k="$2" 'BEGIN{IGNORECASE=1} {sub(/\r$/,"")} /^\[/{in_s=(tolower($0)==tolower(s)); next}
       in_s && index($0, k"=")==1 {print substr($0, length(k)+2); exit}' "$3"
}

# No settings file: every key of the save sequence with its default, and nothing written.
"$quietmon" --print-config >"$home/fresh.ini"
check "fresh start prints 32 alarm rows" test "$(grep -c '^Task[0-9]*=' "$home/fresh.ini")" -eq 40
check "fresh start prints Silence=300" test "$(key Activation Silence "$home/fresh.ini")" = 300
check "fresh start prints the default title" test "$(key General Title "$home/fresh.ini")" = "Orvane Silence Detector "
check "fresh start prints CR LF line ends" grep -q $'\r$' "$home/fresh.ini"
check "printing creates the data folder but writes no file" test -d "$data" -a ! -e "$data/quietmon.ini"
check "the data folder is private" test "$(stat -c %a "$data")" = 700

# A hand-made file with values to be corrected on loading.
printf '[Activation]\r\nSilence=0\r\nTime1=7:05\r\n[General]\r\nMinThreshold=-120\r\nStartUpDelay=abc\r\nLastTask=0\r\nThreshold=0x20\r\n[Port]\r\nCOMPort=300\r\n' >"$data/quietmon.ini"
cp "$data/quietmon.ini" "$home/before.ini"
"$quietmon" --print-config >"$home/out.ini"
check "Silence=0 prints 1" test "$(key Activation Silence "$home/out.ini")" = 1
check "MinThreshold=-120 prints -96" test "$(key General MinThreshold "$home/out.ini")" = -96
check "StartUpDelay=abc prints 30" test "$(key General StartUpDelay "$home/out.ini")" = 30
check "LastTask=0 prints 999" test "$(key General LastTask "$home/out.ini")" = 999
check "Time1=7:05 prints 07:05:00" test "$(key Activation Time1 "$home/out.ini")" = 07:05:00
check "Threshold=0x20 prints 32" test "$(key General Threshold "$home/out.ini")" = 32
check "COMPort=300 prints -1" test "$(key Port COMPort "$home/out.ini")" = -1
check "the file on disk is untouched" cmp -s "$data/quietmon.ini" "$home/before.ini"

# A draft named with --settings-file: printed as the monitor would save it, nothing written; a relative
# name on a first run, which creates the data folder and with it changes the current folder.
printf '[Activation]\r\nSilence=45\r\n' >"$home/draft.ini"
cp "$home/draft.ini" "$home/draft-before.ini"
rm -rf "$data"
(cd "$home" && "$quietmon" --print-config --settings-file draft.ini) >"$home/draft-out.ini"
check "--settings-file prints the draft's Silence=45" test "$(key Activation Silence "$home/draft-out.ini")" = 45
check "--settings-file prints every key" test "$(grep -c '^Task[0-9]*=' "$home/draft-out.ini")" -eq 40
check "the draft is untouched" cmp -s "$home/draft.ini" "$home/draft-before.ini"
check "nothing is written to the data folder" test ! -e "$data/quietmon.ini"
for unreadable in "$home/nope.ini:No such file or directory" "$home:Is a directory"; do
  file=${unreadable%%:*} reason=${unreadable#*:}
  set +e
  "$quietmon" --print-config --settings-file "$file" >"$home/unreadable.out" 2>"$home/unreadable.err"; status=$?
  set -e
  check "--settings-file $file: exit code 2, nothing printed" test "$status" -eq 2 -a ! -s "$home/unreadable.out"
  check "--settings-file $file: says why" \
    test "$(cat "$home/unreadable.err")" = "quietmon: cannot read settings file $file: $reason"
done

# Start-up statuses decide the executor position that a save would write.
printf '[General]\r\nStartUpStatus=2\r\nAlarm=1\r\nLastTask=4\r\nRepeats=2\r\n[Reboot]\r\nReboot=1\r\n' >"$data/quietmon.ini"
"$quietmon" --print-config >"$home/status2.ini"
check "status 2 keeps LastTask" test "$(key General LastTask "$home/status2.ini")" = 4
check "status 2 keeps Repeats" test "$(key General Repeats "$home/status2.ini")" = 2
check "status 2 keeps the alarm" test "$(key General Alarm "$home/status2.ini")" = 1
check "the rebooting marker is cleared at start-up" test "$(key Reboot Reboot "$home/status2.ini")" = 0
printf '[General]\r\nStartUpStatus=0\r\nAlarm=1\r\nLastTask=4\r\nRepeats=2\r\n' >"$data/quietmon.ini"
"$quietmon" --print-config >"$home/status0.ini"
check "status 0 resets LastTask to 999" test "$(key General LastTask "$home/status0.ini")" = 999
check "status 0 resets Repeats to 99999" test "$(key General Repeats "$home/status0.ini")" = 99999
check "status 0 starts without alarm" test "$(key General Alarm "$home/status0.ini")" = 0

# The device selector's lines.
"$quietmon" --list-devices >"$home/devices.txt"
check "--list-devices prints at least one line" test -s "$home/devices.txt"
if [ -n "${PULSE_SERVER:-}" ]; then
  check "--list-devices lists the ALSA pulse device" grep -qx 'pulse' "$home/devices.txt"
  check "--list-devices lists the sink's monitor as an endpoint" \
    grep -qx 'Active endpoint listening: Monitor of .*' "$home/devices.txt"
  check "wave-in devices come before endpoints" sh -c "grep -n '' '$home/devices.txt' | grep -m1 'Active endpoint' | cut -d: -f1 | \
    { read first; [ \"\$first\" -gt \"\$(grep -nx pulse '$home/devices.txt' | cut -d: -f1)\" ]; }"
  printf '[General]\r\nAudioInDeviceName=PULSE\r\nAudioInDevice=0\r\n' >"$data/quietmon.ini"
  "$quietmon" --print-config >"$home/device.ini"
  check "a stored device name in another case selects its line" test "$(key General AudioInDeviceName "$home/device.ini")" = pulse
  check "the selected line's number is saved" test "$(key General AudioInDevice "$home/device.ini")" = "$(($(grep -nx pulse "$home/devices.txt" | cut -d: -f1) - 1))"
  printf '[General]\r\nAudioInDeviceName=USB Mic gone\r\nAudioInDevice=0\r\n' >"$data/quietmon.ini"
  "$quietmon" --print-config >"$home/gone.ini"
  check "a device that is not there keeps its stored name" test "$(key General AudioInDeviceName "$home/gone.ini")" = "USB Mic gone"
fi

# Other modes.
check "--version names the product" sh -c "'$quietmon' --version | grep -q '^Orvane Silence Detector 1.4d$'"
"$quietmon" --help >"$home/help.out" 2>"$home/help.err"
check "--help prints the usage on standard output" grep -q '^Usage: quietmon' "$home/help.out"
check "--help prints nothing on standard error" test ! -s "$home/help.err"

# A command line that is not understood: what is wrong, then the usage, on standard error; exit code 2.
usage_error() { # usage_error <first line of standard error> <arguments...>
  set +e
  "$quietmon" "${@:2}" >"$home/usage.out" 2>"$home/usage.err"; local status=$?
  set -e
  check "'${*:2}' exits with 2 and prints nothing on standard output" test "$status" -eq 2 -a ! -s "$home/usage.out"
  check "'${*:2}' says: $1" test "$(head -n 1 "$home/usage.err")" = "$1"
  check "'${*:2}' then prints the usage" grep -q '^Usage: quietmon' "$home/usage.err"
}
usage_error "unknown option: --bogus" --bogus
usage_error "unknown option: -x" --version -x
usage_error "--scan needs the recording to scan: --scan FILE" --scan
usage_error "--settings-file needs the file to use: --settings-file INI" --scan a.wav --settings-file --levels
usage_error "--print-config and --list-devices cannot be used together" --print-config --list-devices
usage_error "--levels goes only with --scan" --levels
usage_error "--settings-file goes only with --scan, --print-config or --check-config" --list-devices --settings-file x.ini

[ "$failures" -eq 0 ]
