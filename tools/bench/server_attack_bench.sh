#!/usr/bin/env bash
# The report server under forged data, a base build beside the current one, in one run: at
# 200,000 stored reports of each kind (tools/bench/make_store.py: realistic, forged within the
# field rules, forged with every gain distinct, realistic with 100,000 distinct processor and
# adapter names no score table holds), the time from start to listening (the first opening of a
# database from before fills its new tallies), a post's median latency (1 client), 16 clients'
# rate and the page's time (uncached: a second apart); then peak memory while 10 connections each
# send an endless trailer for 10 s (at most 200 MB each); then, at the default limits, good
# reports recorded a second from one address while 16 addresses hoard 64 kept-alive connections
# each, memory while 1,024 connections each send 4,050 header lines and a 64 KB body (and after
# they close), and 64 clients' rate without attack (a connection per report, as the program).
# Usage: server_attack_bench.sh BASE_SERVER_BINARY
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
new="$root/build/server/vxm-report-server"
base=${1:?base server binary}
seconds=${VXM_BENCH_SECONDS:-5}
count=${VXM_ATTACK_REPORTS:-200000}
kinds=${VXM_ATTACK_KINDS:-realistic forged anygain unknown}
work=$(mktemp -d /tmp/vxm-attack-bench.XXXXXX)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export VXM_OPERATOR_KEY=bench-operator-key-0123456789

start_server() { # binary folder [options, default --max-connections 256]
  # Gone first: the previous server's "listening" line must not be read as this one's.
  rm -f "$work/server.out"
  local started=$(date +%s%N)
  "$1" --port 0 --database "$2" "${@:3}" >"$work/server.out" 2>&1 &
  server_pid=$!
  for _ in $(seq 3000); do grep -q listening "$work/server.out" && break; sleep 0.01; done
  opened_ms=$((($(date +%s%N) - started) / 1000000))
  port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/server.out")
}
stop_server() { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""; }
median() { tr ' ' '\n' | grep . | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

measure() { # name binary kind
  rm -rf "$work/db"
  cp -r "$work/store-$3" "$work/db"
  start_server "$2" "$work/db" --max-connections 256
  local opened=$opened_ms page=""
  for _ in 1 2 3 4 5; do
    page="$page $(curl -s -o /dev/null -w '%{time_total}' "http://127.0.0.1:$port/")"
    sleep 1.1
  done
  python3 "$root/tools/bench/make_reports.py" 40000 "$1$3$RANDOM" "$work/bodies"
  local one sixteen
  one=$(wrk -t1 -c1 -d${seconds}s --latency -s "$root/tools/bench/post_reports.lua" \
    "http://127.0.0.1:$port" -- "$work/bodies" 1 | tail -n 1)
  python3 "$root/tools/bench/make_reports.py" 200000 "$1$3$RANDOM" "$work/bodies"
  sixteen=$(wrk -t2 -c16 -d${seconds}s --latency -s "$root/tools/bench/post_reports.lua" \
    "http://127.0.0.1:$port" -- "$work/bodies" 2 | tail -n 1)
  printf '  %-9s %-5s open %6d ms   post %8s ms   16 clients %8s reports/s   page %7.1f ms (%s)\n' \
    "$3" "$1" "$opened" "$(echo "$one" | awk '{print $4}')" "$(echo "$sixteen" | awk '{print $1}')" \
    "$(echo "$page" | median | awk '{print $1 * 1000}')" \
    "recorded $(echo "$sixteen" | sed 's/.*recorded \([0-9]*\).*/\1/')"
  stop_server
}

trailer_memory() { # name binary
  rm -rf "$work/db"
  start_server "$2" "$work/db" --max-connections 256
  local sent alive
  sent=$(python3 "$root/tools/bench/endless_trailer.py" "$port" 10 10 200)
  alive=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/" || true)
  printf '  %-5s peak memory %6d MB, %5d MB sent, page afterwards: %s\n' "$1" \
    "$(awk '/VmHWM/ {print int($2 / 1024)}' /proc/$server_pid/status 2>/dev/null || echo 0)" \
    "$((sent >> 20))" "${alive:-no answer}"
  stop_server
}

echo "== report server under forged data: $count stored reports, ${seconds} s per wrk run"
for kind in $kinds; do
  python3 "$root/tools/bench/make_store.py" "$count" "$kind" "$work/store-$kind"
  measure base "$base" "$kind"
  measure new "$new" "$kind"
  rm -rf "$work/store-$kind"
done
echo "== endless trailers: 10 connections, 10 s"
trailer_memory base "$base"
trailer_memory new "$new"

slots_and_headers() { # name binary
  rm -rf "$work/db"
  start_server "$2" "$work/db"
  printf '  %-5s hoarded: %s\n' "$1" \
    "$(python3 "$root/tools/bench/hoard_bench.py" hoard "$port" "$seconds" "$work/bodies")"
  printf '  %-5s headers: %s\n' "$1" \
    "$(python3 "$root/tools/bench/hoard_bench.py" headers "$port" "$server_pid")"
  python3 "$root/tools/bench/make_reports.py" 100000 "$1slots$RANDOM" "$work/bodies"
  printf '  %-5s 64 clients, no attack: %s\n' "$1" \
    "$(wrk -t2 -c64 -d${seconds}s -s "$root/tools/bench/post_reports.lua" \
      "http://127.0.0.1:$port" -- "$work/bodies" 2 close | tail -n 1)"
  stop_server
}

echo "== slots and header memory at the default limits (1,024 connections, 64 an address)"
ulimit -n 8192 # the attacking client's 1,024 connections and more
python3 "$root/tools/bench/make_reports.py" 40000 "hoard$RANDOM" "$work/bodies"
for round in 1 2; do
  slots_and_headers base "$base"
  slots_and_headers new "$new"
done
