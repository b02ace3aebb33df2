#!/usr/bin/env bash
# The report server's rate behind nginx (TLS, the project's site file) beside the server alone,
# at 16 and 64 clients posting distinct valid reports (wrk), SQLite, --threads 4: the server
# alone with kept-alive connections (as server_bench.sh), through nginx kept alive, and through
# nginx with a new TLS connection per report, as the program makes, with an RSA 2048 and with an
# ECDSA P-256 certificate. Each run on a fresh database, the four in turns at each client count.
# Usage: tools/bench/tls_front_bench.sh   (after scripts/serve --help built the server)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${VXM_BENCH_SECONDS:-5}
work=$(mktemp -d /tmp/vxm-tls-bench.XXXXXX)
server=""
cleanup() {
  "$root/scripts/tls-front" stop "$work"
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export VXM_OPERATOR_KEY=bench-operator-key-0123456789
backend=28590
front=28591

python3 "$root/tools/bench/make_reports.py" $((seconds * 30000)) "t$RANDOM" "$work/bodies"
"$root/scripts/tls-front" ca "$work/tls"
"$root/scripts/tls-front" cert "$work/tls" localhost "$work/rsa"
"$root/scripts/tls-front" cert "$work/tls" localhost "$work/ecdsa" --ec

run=0
for clients in 16 64; do
  for how in alone nginx nginx-close nginx-close-ecdsa; do
    run=$((run + 1))
    # Every client here has one address, which nginx passes on: the per-address cap is lifted.
    "$root/build/server/vxm-report-server" --port $backend --threads 4 --max-per-address 512 \
      --trusted-proxy 127.0.0.1 \
      --database "$work/db$run" >"$work/server.out" 2>/dev/null &
    server=$!
    for _ in $(seq 100); do grep -q listening "$work/server.out" 2>/dev/null && break; sleep 0.1; done
    key=rsa
    case $how in
    alone) url=http://127.0.0.1:$backend close="" ;;
    nginx) url=https://localhost:$front close="" ;;
    nginx-close) url=https://localhost:$front close=close ;;
    nginx-close-ecdsa) url=https://localhost:$front close=close key=ecdsa ;;
    esac
    "$root/scripts/tls-front" stop "$work"
    "$root/scripts/tls-front" start "$work" $front $backend "$work/$key.pem" "$work/$key.key"
    out=$(wrk -t2 -c$clients -d${seconds}s --latency -s "$root/tools/bench/post_reports.lua" "$url" \
      -- "$work/bodies" 2 $close | tail -n 1)
    printf '  %3d clients %-18s%s\n' $clients "$how" "$out"
    kill "$server" && wait "$server" 2>/dev/null || true
    server=""
  done
done
