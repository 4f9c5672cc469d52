#!/usr/bin/env bash
# Installing into a prefix: the program in <prefix>/lib/quietmon (so its data folder is named quietmon),
# a link in <prefix>/bin, the help page and its pictures beside the program, a menu entry, an icon, the
# systemd user units and their templates for named monitors, which systemd-analyze finds sound, the manual page and the README.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
failures=0
check() { if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi; }
check "the program is in lib/quietmon" test -x "$prefix/lib/quietmon/quietmon"
check "bin/quietmon links to it, relatively" test "$(readlink "$prefix/bin/quietmon")" = ../lib/quietmon/quietmon
check "the help page is beside it" test -s "$prefix/lib/quietmon/quietmon.htm"
pictures=$(grep -o '<img src="[^"]*"' "$prefix/lib/quietmon/quietmon.htm" | cut -d'"' -f2)
check "with the pictures it shows" sh -c 'cd "$1/lib/quietmon" && shift && [ $# -gt 0 ] && ls "$@" >/dev/null' _ "$prefix" $pictures
check "the menu entry starts quietmon" grep -qx 'Exec=quietmon' "$prefix/share/applications/quietmon.desktop"
check "the icon is installed" test -s "$prefix/share/icons/hicolor/scalable/apps/quietmon.svg"
units=$prefix/lib/systemd/user
for unit in quietmon.service quietmon-headless.service; do
  check "$unit starts the installed program" grep -qx "ExecStart=$prefix/lib/quietmon/quietmon" "$units/$unit"
  template=${unit/./@.}
  check "$template starts it as the monitor its instance names" \
    grep -qx "ExecStart=$prefix/lib/quietmon/quietmon --instance %i" "$units/$template"
done
mkdir -m 700 "$prefix/runtime"
check "systemd-analyze verifies all four units" \
  env XDG_RUNTIME_DIR="$prefix/runtime" systemd-analyze verify --user "$units/quietmon.service" "$units/quietmon-headless.service" \
  "$units/quietmon@.service" "$units/quietmon-headless@.service"
check "the manual page is installed" sh -c 'gzip -dc "$1" | grep -q "^\.TH QUIETMON 1"' _ "$prefix/share/man/man1/quietmon.1.gz"
check "the README is installed as documentation" test -s "$prefix/share/doc/quietmon/README.md.gz"
env -u XDG_DATA_HOME HOME="$prefix/home" "$prefix/bin/quietmon" --print-config >/dev/null
check "started through the link, its data folder is named quietmon" test -d "$prefix/home/.local/share/quietmon"
[ "$failures" -eq 0 ]
