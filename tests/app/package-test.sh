#!/usr/bin/env bash
# The Debian package on this computer: lintian finds no error in it; apt-get installs it with what it
# depends on; the installed program answers --version and --list-devices, finds every library it links,
# and has its help page, menu entry, icon and manual page; then the package is purged, whatever happened.
#   package-test.sh FOLDER   (the release build folder, where scripts/build-package leaves the package)
# Skipped (exit 77) without root, without a package, or when a quietmon package is installed already:
# that one is not the test's to remove.
set -euo pipefail
debs=("$1"/quietmon_*.deb)
[ "$(id -u)" = 0 ] || { echo "skipped: installing a package needs root"; exit 77; }
[ -f "${debs[0]}" ] || { echo "skipped: no package in $1; scripts/build-package builds it"; exit 77; }
if dpkg-query -W -f='${Status}' quietmon 2>/dev/null | grep -q ' installed$'; then
  echo "skipped: a quietmon package is installed already"
  exit 77
fi
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

installed=1 # a half-done installation is purged too
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.txt" 2>&1 ||
  { cat "$work/apt.txt"; exit 1; }
check "apt-get installs it" sh -c "dpkg-query -W -f='\${Status}' quietmon | grep -qx 'install ok installed'"
version=$(dpkg-deb --field "$deb" Version)
check "/usr/bin/quietmon --version tells the package's version" \
  test "$(HOME=$work /usr/bin/quietmon --version)" = "Orvane Silence Detector $version"
check "--list-devices lists inputs" sh -c "HOME='$work' QT_QPA_PLATFORM=offscreen /usr/bin/quietmon --list-devices | grep -q ."
check "/usr/bin/quietmon is a link to /usr/lib/quietmon/quietmon" test "$(realpath /usr/bin/quietmon)" = /usr/lib/quietmon/quietmon
check "every library it links is found" sh -c '! ldd /usr/lib/quietmon/quietmon | grep -q "not found"'
check "the help page is beside it, with its pictures" sh -c 'cd /usr/lib/quietmon && ls quietmon.htm main-window.png setup-1-alarm-activation.png >/dev/null'
check "the menu entry, the icon and the manual page" test -s /usr/share/applications/quietmon.desktop \
  -a -s /usr/share/icons/hicolor/scalable/apps/quietmon.svg -a -s /usr/share/man/man1/quietmon.1.gz
check "the copyright and the changelog" test -s /usr/share/doc/quietmon/copyright -a -s /usr/share/doc/quietmon/changelog.gz

dpkg --purge quietmon >/dev/null
installed=0
state=$(dpkg-query -W -f='${db:Status-Status}' quietmon 2>/dev/null || true)
check "purged, it leaves nothing behind" sh -c "[ '${state:-not-installed}' = not-installed ] && [ ! -e /usr/lib/quietmon ] && [ ! -e /usr/bin/quietmon ]"
[ "$failures" -eq 0 ]
