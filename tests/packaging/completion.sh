#!/usr/bin/env bash
# The bash completion of qvlaser-cli offers, word by word, what the tool accepts. Argument: the
# folder of the qvlaser-cli program (the port numbers are asked of it).
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
source /usr/share/bash-completion/bash_completion
source "$here/data/completion/qvlaser-cli"
export PATH="$1:$PATH"
# Ports come from the tool; keep it to a private folder with two ports.
ports=$(mktemp -d)
trap 'rm -rf "$ports"' EXIT
ln -s /dev/null "$ports/COM3"
ln -s /dev/null "$ports/COM12"
export QVLASER_PORTS_DIR=$ports QVLASER_PORTS_ONLY=1

status=0
expect() {
  local want=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _qvlaser_cli
  if [ "${COMPREPLY[*]}" != "$want" ]; then
    echo "completing [$*]: got [${COMPREPLY[*]}], want [$want]"
    status=1
  fi
}
expect "identify watch send set clear-error reset save-settings record export ports catalogue" qvlaser-cli ""
expect "--port --json --extensions --timeout --help --version" qvlaser-cli --
expect "watch" qvlaser-cli --port 7 w
expect "--help --all --seconds --detect-interval --reconnect-wait" qvlaser-cli --json watch --
expect "current all-currents frequency trigger laser regulator regulator-level pulse-rate clear-error reset save-settings" qvlaser-cli set ""
expect "" qvlaser-cli set current ""
expect "branches single picker" qvlaser-cli catalogue --variant ""
expect "3 12" qvlaser-cli --port ""
expect "12" qvlaser-cli --port 1
exit $status
