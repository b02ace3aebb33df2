#!/usr/bin/env bash
# The server's systemd unit: systemd-analyze verify finds nothing to say about it, its hardening
# keeps the exposure level at or below 2.0, the server accepts the options it starts with, and,
# started with them as a Type=notify service, tells NOTIFY_SOCKET "READY=1" once it listens.
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
# Started as systemd would, on a free port: the datagram arrives after the listening line.
grep -q '^Type=notify$' "$unit" || { echo "the unit is not Type=notify"; status=1; }
mkdir -p "$work/state"
# shellcheck disable=SC2086
ready=$(python3 - "$server" "$work" $args <<'PY'
import os, re, socket, subprocess, sys
server, work, args = sys.argv[1], sys.argv[2], sys.argv[3:]
args[args.index("--port") + 1] = "0"
listener = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
listener.bind(os.path.join(work, "notify"))
listener.settimeout(10)
process = subprocess.Popen([server, *args], stdout=subprocess.PIPE, text=True,
                           env={**os.environ, "NOTIFY_SOCKET": os.path.join(work, "notify")})
first = process.stdout.readline().strip()
try:
    said = listener.recv(256).decode()
finally:
    process.terminate()
    process.wait(timeout=30)
print(f"{first!r} then {said!r}")
PY
) || status=1
case "$ready" in
"'listening on 127.0.0.1:"*"' then 'READY=1'") ;;
*) echo "notify: $ready"; status=1 ;;
esac
[ $status = 0 ] && echo "unit verified; $(echo "$security" | tail -n 1); $ready"
exit $status
