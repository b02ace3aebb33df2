#!/usr/bin/env bash
# Report server figures on loopback, SQLite then PostgreSQL: reports per second and latency at
# 1, 16 and 64 clients posting distinct valid reports (wrk), stored rows against the replies
# that said recorded, then the page's render time and the server's memory at 100,000 reports.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin="$root/build/server/vxm-report-server"
seconds=${VXM_BENCH_SECONDS:-8}
work=$(mktemp -d /tmp/vxm-server-bench.XXXXXX)
pg_dir=""
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  [ -n "$pg_dir" ] && "$root/scripts/pg-throwaway" stop "$pg_dir"
  rm -rf "$work"
}
trap cleanup EXIT

start_server() { # database [more options]
  VXM_OPERATOR_KEY=bench-operator-key "$bin" --port 0 "$@" >"$work/server.out" 2>&1 &
  server_pid=$!
  for _ in $(seq 100); do grep -q listening "$work/server.out" && break; sleep 0.1; done
  port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/server.out")
}
stop_server() { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""; }
stored_rows() { curl -s "http://127.0.0.1:$port/export.csv?key=bench-operator-key" | tail -n +2 | wc -l; }

run_engine() { # name database [options]
  local name=$1
  shift
  echo "-- $name"
  start_server --database "$@"
  local run=0 said=0
  for clients in 1 16 64; do
    run=$((run + 1))
    python3 "$root/tools/bench/make_reports.py" 400000 "$run$RANDOM" "$work/bodies"
    threads=$((clients < 2 ? 1 : 2))
    out=$(wrk -t$threads -c$clients -d${seconds}s --latency -s "$root/tools/bench/post_reports.lua" \
      "http://127.0.0.1:$port" -- "$work/bodies" $threads | tail -n 1)
    echo "  $clients clients:$out"
    said=$((said + $(echo "$out" | sed 's/.*recorded \([0-9]*\).*/\1/')))
  done
  # wrk drops the replies still in flight when a run ends, so up to 1 + 16 + 64 stored reports
  # have no counted reply; a report lost after a "recorded" reply would make the difference
  # negative.
  local stored
  stored=$(stored_rows)
  echo "  stored rows $stored, replies that said recorded $said," \
    "stored without a counted reply $((stored - said)) (at most 81 in flight at the ends of the runs)"
  # Top up to 100,000 reports, then time the page and read the memory.
  local rows
  rows=$(stored_rows)
  if [ "$rows" -lt 100000 ]; then
    python3 "$root/tools/bench/make_reports.py" $((100000 - rows)) "fill$RANDOM" "$work/bodies"
    wrk -t2 -c64 -d60s -s "$root/tools/bench/post_reports.lua" "http://127.0.0.1:$port" -- \
      "$work/bodies" 2 >/dev/null
  fi
  echo "  at $(stored_rows) stored reports: page render (5 requests)" \
    "$(for _ in 1 2 3 4 5; do curl -s -o /dev/null -w '%{time_total} ' "http://127.0.0.1:$port/"; done)s," \
    "server memory $(awk '/VmRSS/ {now = $2} /VmHWM/ {peak = $2} END {printf "%d MB now, %d MB peak", now / 1024, peak / 1024}' /proc/$server_pid/status)"
  stop_server
}

echo "== report server: loopback, ${seconds} s per run"
run_engine SQLite "$work/sqlite"
pg=$("$root/scripts/pg-throwaway" start)
pg_dir=$(echo "$pg" | sed -n 1p)
run_engine PostgreSQL "$(echo "$pg" | sed -n 2p)"
