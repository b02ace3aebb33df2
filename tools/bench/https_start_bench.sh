#!/usr/bin/env bash
# Start to result panel over https and over plain http, in turns, each Start in a fresh process
# under Wine (tests/win/https_start_bench.cpp): the reference server on the loopback port, nginx
# with a loopback certificate on the next one. Prints the medians of RUNS Starts of each.
# Usage: tools/bench/https_start_bench.sh [RUNS]   (after scripts/build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
runs=${1:-10}
port=$(sed -n 's/^VXM_LOOPBACK_PORT:[A-Z]*=//p' build/win/CMakeCache.txt)
work=$(mktemp -d)
"$root/scripts/serve" --help >/dev/null 2>&1
VXM_OPERATOR_KEY=bench-operator-key-0123456789 build/server/vxm-report-server --port "$port" \
  --database "$work/db" >"$work/server.log" 2>&1 &
server=$!
trap '"$root/scripts/tls-front" stop "$work"; kill $server; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -q listening "$work/server.log" && break; sleep 0.1; done
"$root/scripts/tls-front" cert build/tls localhost "$work/localhost"
"$root/scripts/tls-front" start "$work" $((port + 1)) "$port" "$work/localhost.pem" "$work/localhost.key"
ca="Z:$(realpath build/tls/ca.pem | sed 's#/#\\#g')"
for run in $(seq "$runs"); do
  for scheme in https http; do
    env -u http_proxy -u https_proxy VXM_BENCH_SCHEME=$scheme VXM_BENCH_CA="$ca" \
      VXM_BENCH_ACCOUNT=$((60000000 + run * 2 + ${#scheme})) \
      VXM_BENCH_PORT=$([ $scheme = https ] && echo $((port + 1)) || echo "$port") \
      "$root/scripts/wine-exec" build/win/bin/win_tests.exe --gtest_also_run_disabled_tests \
      --gtest_filter=HttpsStartBench.* 2>/dev/null | tr -d '\r' | grep ' ms$' || true
  done
done | python3 tools/bench/medians.py ms
