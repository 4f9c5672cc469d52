#!/usr/bin/env bash
# quietmon --check-config, run as a user would with a home folder of its own.
source "$(dirname "$0")/lib.sh"
run() { # run <arguments...>: standard output, standard error and exit code in $home/out, $home/err, $status
  set +e
  "$quietmon" "$@" >"$home/out" 2>"$home/err"; status=$?
  set -e
}

# No settings file yet: nothing to check, and nothing is created.
run --check-config
check "a missing settings file gives exit code 2" test "$status" -eq 2 -a ! -s "$home/out"
check "a missing settings file is named with the reason" \
  test "$(cat "$home/err")" = "quietmon: cannot read settings file $data/quietmon.ini: No such file or directory"
check "checking does not create the data folder" test ! -e "$data"

# A file the monitor would read as meant.
printf '[Activation]\r\nSilence=10\r\n[Tasks]\r\nTask1=Send email\r\n' >"$home/good.ini"
run --check-config --settings-file "$home/good.ini"
check "a clean file gives exit code 0" test "$status" -eq 0
check "a clean file gets one line saying so" test "$(cat "$home/out")" = "$home/good.ini: no problems found"

# The data folder's file with a mistyped key: a warning with its line, exit code 1, the file untouched.
mkdir -p "$data"
printf '[General]\r\nTop=5\r\n[Activation]\r\nSilense=10\r\n' >"$data/quietmon.ini"
cp "$data/quietmon.ini" "$home/before.ini"
run --check-config
check "warnings give exit code 1" test "$status" -eq 1
check "the warning names the file, the line and the key meant" \
  test "$(cat "$home/out")" = "$data/quietmon.ini:4: Silense is not a key of [Activation]; did you mean Silence?"
check "the checked file is untouched" cmp -s "$data/quietmon.ini" "$home/before.ini"
check "nothing else is written to the data folder" test "$(ls "$data")" = quietmon.ini

# A file over 1 MB is no settings file the monitor reads or writes: both modes refuse it, named or in
# the data folder, and leave it as it is.
head -c 1048577 /dev/zero | tr '\0' '\n' >"$home/big.ini"
cp "$home/big.ini" "$data/quietmon.ini"
for mode in --check-config --print-config; do
  for file in "$home/big.ini" "$data/quietmon.ini"; do
    if [ "$file" = "$home/big.ini" ]; then run $mode --settings-file "$file"; else run $mode; fi
    check "$mode $file: over 1 MB gives exit code 2 and nothing on standard output" \
      test "$status" -eq 2 -a ! -s "$home/out"
    check "$mode $file: over 1 MB is named with the reason" \
      test "$(cat "$home/err")" = "quietmon: cannot read settings file $file: larger than 1048576 bytes"
  done
done
check "the file over 1 MB is untouched" cmp -s "$data/quietmon.ini" "$home/big.ini"

[ "$failures" -eq 0 ]
