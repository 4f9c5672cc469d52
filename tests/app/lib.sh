# Shared opening of the command-line tests: the program given as $1, run as a user would with a home folder
# of its own (removed at the end), and `check`. Source it.
set -euo pipefail
quietmon=$(realpath "$1")
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home
unset XDG_DATA_HOME
data=$home/.local/share/quietmon
failures=0
check() { # check <description> <command...>
  if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
