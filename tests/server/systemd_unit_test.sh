#!/usr/bin/env bash
# The server's systemd unit: systemd-analyze verify finds nothing to say about it, its hardening
# keeps the exposure level at or below 2.0, and the server accepts the options it starts with.
# Usage: systemd_unit_test.sh UNIT SERVER_BINARY
set -euo pipefail
unit=$1
server=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The unit names the installed binary; the built one stands in for it, so verify finds a program.
installed=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")
sed "s|^ExecStart=$installed|ExecStart=$server|" "$unit" >"$work/vxm-report-server.service"
status=0
said=$(cd "$work" && systemd-analyze verify ./vxm-report-server.service 2>&1) || status=1
if [ -n "$said" ]; then
  echo "systemd-analyze verify:"
  echo "$said"
  status=1
fi
if ! security=$(cd "$work" && systemd-analyze security --offline=yes --threshold=20 \
  ./vxm-report-server.service 2>&1); then
  echo "$security" | tail -n 30
  echo "exposure above 2.0"
  status=1
fi
# The start options as the service gives them, with the state directory systemd would make.
args=$(sed -n 's/^ExecStart=[^ ]* //p' "$unit" | sed "s|\${STATE_DIRECTORY}|$work/state|")
# shellcheck disable=SC2086 # the options are words, as systemd splits them
if ! "$server" $args --help >/dev/null; then
  echo "the server refuses the unit's options: $args"
  status=1
fi
[ $status = 0 ] && echo "unit verified; $(echo "$security" | tail -n 1)"
exit $status
