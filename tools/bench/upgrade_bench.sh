#!/usr/bin/env bash
# The first opening of a database from before stored schema versions, a base build beside the
# current one, in one run: a SQLite store of COUNT reports (tools/bench/make_store.py "unknown",
# every report with processor and adapter names of its own that no score table holds, so COUNT
# distinct names of each kind) is copied for each binary, which opens it; printed are the time
# from start to listening (the upgrade runs before the server listens) with the server's CPU time
# meanwhile, its peak resident memory while it upgraded (VmHWM) and what its page then shows.
# Usage: upgrade_bench.sh BASE_SERVER_BINARY [COUNT, default 1000000]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
new="$root/build/server/vxm-report-server"
base=${1:?base server binary}
count=${2:-1000000}
work=$(mktemp -d /tmp/vxm-upgrade-bench.XXXXXX)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export VXM_OPERATOR_KEY=bench-operator-key-0123456789

started=$(date +%s)
python3 "$root/tools/bench/make_store.py" "$count" unknown "$work/store" "$count"
echo "made $count reports with $count distinct unknown names of each kind in $(($(date +%s) - started)) s"

open_once() { # label binary
  rm -rf "$work/copy" && cp -a "$work/store" "$work/copy"
  local start=$(date +%s%N)
  "$2" --port 0 --database "$work/copy" >"$work/out" 2>"$work/err" &
  server_pid=$!
  until grep -q listening "$work/out" 2>/dev/null; do
    kill -0 "$server_pid" 2>/dev/null || { cat "$work/err" >&2; exit 1; }
    sleep 0.05
  done
  local ms=$((($(date +%s%N) - start) / 1000000))
  local peak=$(awk '/^VmHWM/ {print int($2 / 1024)}' "/proc/$server_pid/status")
  # User and system CPU time so far (the machine is shared: wall time is partly others' work).
  local cpu=$(awk -v tick="$(getconf CLK_TCK)" '{printf "%.1f", ($14 + $15) / tick}' \
    "/proc/$server_pid/stat")
  local port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/out")
  local page=$(curl -s "http://127.0.0.1:$port/")
  # The page's total of reports, and whether its video-memory section has figures.
  local reports=$(echo "$page" | grep -o '<b>[0-9]*</b><span>份报告' | grep -o '[0-9]*' | head -n 1)
  local vram="video memory shown"
  echo "$page" | grep -q '<h2>显存容量</h2><p class="empty">' && vram="video memory empty"
  kill "$server_pid"
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
  printf '  %-6s open %7d ms   CPU %6s s   peak %5d MB   page: %s reports, %s\n' "$1" "$ms" \
    "$cpu" "$peak" "${reports:-?}" "$vram"
  grep -o 'what="counted[^"]*" reason="[^"]*"' "$work/err" | sed 's/^/         /' || true
}

open_once base "$base"
open_once now "$new"
