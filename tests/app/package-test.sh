#!/usr/bin/env bash
# The Debian package: lintian finds no error in it, and it holds (dpkg-deb says) the program, its help page,
# menu entry, icon, systemd units, manual page, README, copyright and changelog. Then, where that harms no
# one, apt-get installs it with what it depends on: the installed program answers --version and
# --list-devices and finds every library it links; then the package is purged, whatever happened.
#   package-test.sh FOLDER   (the release build folder, where scripts/build-package leaves the package)
# It is installed only on CI (CI=true) or where no quietmon package is installed, and only by root: a
# package the user installed is never replaced nor removed. Otherwise dpkg-deb and lintian alone look at it,
# and the test says so. Skipped (exit 77) without a package.
set -euo pipefail
debs=("$1"/quietmon_*.deb)
[ -f "${debs[0]}" ] || { echo "skipped: no package in $1; scripts/build-package builds it"; exit 77; }
deb=$(realpath "${debs[0]}")
work=$(mktemp -d)
installed=0
finish() {
  if [ "$installed" = 1 ]; then dpkg --purge quietmon >/dev/null || true; fi
  rm -rf "$work"
}
trap finish EXIT
failures=0
check() { if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi; }

echo "package: $deb"
dpkg-deb --field "$deb" Version Depends Recommends
lintian_status=0
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || lintian_status=$?
sed 's/^/lintian: /' "$work/lintian.txt"
check "lintian reports no errors" test "$lintian_status" -eq 0
depends=$(dpkg-deb --field "$deb" Depends)
check "it depends on what the program needs at run time" sh -c 'for p in libasound2-plugins mpg123 espeak-ng-data xdg-utils libqt6widgets6 libc6; do
  printf "%s\n" "$1" | tr "," "\n" | grep -q "^ *$p\( \|$\)" || exit 1; done' _ "$depends"
check "it recommends pavucontrol" test "$(dpkg-deb --field "$deb" Recommends)" = pavucontrol

# What the package holds, from its own file list and files.
dpkg-deb --contents "$deb" | awk '{ sub(/^\.\//, "/", $6); print $6 ($7 == "->" ? " -> " $8 : "") }' >"$work/contents"
holds() { grep -qxF -- "$1" "$work/contents"; }
holds_all() { for file in "$@"; do holds "$file" || { echo "missing: $file"; return 1; }; done; }
dpkg-deb --extract "$deb" "$work/root"
check "/usr/bin/quietmon is a link to /usr/lib/quietmon/quietmon" holds "/usr/bin/quietmon -> ../lib/quietmon/quietmon"
check "the help page is beside the program, with its pictures" holds_all /usr/lib/quietmon/quietmon \
  /usr/lib/quietmon/quietmon.htm /usr/lib/quietmon/main-window.png /usr/lib/quietmon/setup-1-alarm-activation.png
check "the menu entry, the icon and the manual page" holds_all /usr/share/applications/quietmon.desktop \
  /usr/share/icons/hicolor/scalable/apps/quietmon.svg /usr/share/man/man1/quietmon.1.gz
check "the README, the copyright and the changelog" holds_all /usr/share/doc/quietmon/README.md.gz \
  /usr/share/doc/quietmon/copyright /usr/share/doc/quietmon/changelog.gz
check "the README is readable" sh -c 'gzip -dc "$1" | head -n 1 | grep -q "^# Orvane Silence Detector"' _ \
  "$work/root/usr/share/doc/quietmon/README.md.gz"
for unit in quietmon.service quietmon-headless.service; do
  check "the user unit $unit starts /usr/lib/quietmon/quietmon" \
    grep -qx 'ExecStart=/usr/lib/quietmon/quietmon' "$work/root/usr/lib/systemd/user/$unit"
  check "its template ${unit/./@.} starts a named monitor" \
    grep -qx 'ExecStart=/usr/lib/quietmon/quietmon --instance %i' "$work/root/usr/lib/systemd/user/${unit/./@.}"
done

reason=
if [ "$(id -u)" != 0 ]; then
  reason="installing a package needs root"
elif [ "${CI:-}" != true ] && dpkg-query -W -f='${Status}' quietmon 2>/dev/null | grep -q ' installed$'; then
  reason="a quietmon package is installed on this computer, and it is not this test's to replace or remove"
fi
if [ -n "$reason" ]; then
  echo "not installed: $reason; the package was checked with dpkg-deb and lintian alone"
  [ "$failures" -eq 0 ]
  exit
fi

installed=1 # a half-done installation is purged too
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.txt" 2>&1 ||
  { cat "$work/apt.txt"; exit 1; }
check "apt-get installs it" sh -c "dpkg-query -W -f='\${Status}' quietmon | grep -qx 'install ok installed'"
version=$(dpkg-deb --field "$deb" Version)
check "/usr/bin/quietmon --version tells the package's version" \
  test "$(HOME=$work /usr/bin/quietmon --version)" = "Orvane Silence Detector $version"
check "--list-devices lists inputs" sh -c "HOME='$work' QT_QPA_PLATFORM=offscreen /usr/bin/quietmon --list-devices | grep -q ."
check "/usr/bin/quietmon leads to /usr/lib/quietmon/quietmon" test "$(realpath /usr/bin/quietmon)" = /usr/lib/quietmon/quietmon
check "every library it links is found" sh -c '! ldd /usr/lib/quietmon/quietmon | grep -q "not found"'

dpkg --purge quietmon >/dev/null
installed=0
state=$(dpkg-query -W -f='${db:Status-Status}' quietmon 2>/dev/null || true)
check "purged, it leaves nothing behind" sh -c "[ '${state:-not-installed}' = not-installed ] && [ ! -e /usr/lib/quietmon ] && [ ! -e /usr/bin/quietmon ]"
[ "$failures" -eq 0 ]
