#!/usr/bin/env bash
# A report's CPU time and rate on kept-alive connections (as nginx's upstream pool talks to the
# server) and with a new connection per report (as the program does), SQLite, --threads 1, wrk
# with 64 connections posting distinct realistic reports, for several server binaries measured
# in turns on fresh databases, ROUNDS rounds of SECONDS each; prints every run, then the medians.
#   tools/bench/cost_pairs.sh ROUNDS SECONDS NAME=BINARY...
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
rounds=$1 seconds=$2
shift 2
work=$(mktemp -d /tmp/vxm-cost-pairs.XXXXXX)
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
export VXM_OPERATOR_KEY=bench-operator-key-0123456789
# Enough for 25,000 reports a second in every run: a run that exhausts its part posts empty
# forms, refused at once, which would count against fewer recorded reports.
python3 "$root/tools/bench/make_reports.py" $((rounds * $# * 2 * seconds * 25000)) "c$RANDOM" \
  "$work/bodies" >/dev/null
split -n l/$((rounds * $# * 2)) -d -a 3 "$work/bodies" "$work/part"
run=0
for round in $(seq "$rounds"); do
  for how in keep close; do
    for named in "$@"; do
      name=${named%%=*} binary=${named#*=}
      part=$(printf '%s/part%03d' "$work" $run)
      run=$((run + 1))
      extra=()
      "$binary" --help | grep -q max-per-address && extra=(--max-per-address 512)
      "$binary" --port 0 --database "$work/db$run" "${extra[@]}" >"$work/out$run" 2>/dev/null &
      pid=$!
      for _ in $(seq 100); do grep -q listening "$work/out$run" 2>/dev/null && break; sleep 0.1; done
      port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$work/out$run")
      before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
      line=$(wrk -t1 -c64 -d"${seconds}s" --latency -s "$root/tools/bench/post_reports.lua" \
        "http://127.0.0.1:$port" -- "$part" 1 $([ $how = close ] && echo close) | tail -n 1)
      ticks=$(($(awk '{print $14 + $15}' "/proc/$pid/stat") - before))
      kill $pid && wait $pid 2>/dev/null || true
      pid=""
      recorded=$(echo "$line" | sed 's/.*recorded \([0-9]*\).*/\1/')
      other=$(echo "$line" | sed 's/.*other \([0-9]*\).*/\1/')
      [ "$other" = 0 ] || echo "$how $name round $round: $other replies other than recorded" >&2
      rate=$(echo "$line" | awk '{print $1}')
      p99=$(echo "$line" | sed 's/.*p99 *\([0-9.]*\).*/\1/')
      us=$((ticks * 1000000 / $(getconf CLK_TCK) / (recorded > 0 ? recorded : 1)))
      printf '%-5s %-10s round %d: %6s reports/s  p99 %6s ms  cpu %4d us/report\n' \
        "$how" "$name" "$round" "$rate" "$p99" "$us"
      echo "$how $name $rate $p99 $us" >>"$work/figures"
    done
  done
done
echo "medians:"
python3 - "$work/figures" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    how, name, rate, p99, us = line.split()
    runs.setdefault((how, name), []).append((float(rate), float(p99), float(us)))
for (how, name), figures in runs.items():
    print(f"{how:5} {name:10} {statistics.median(f[0] for f in figures):8.0f} reports/s  "
          f"p99 {statistics.median(f[1] for f in figures):6.2f} ms  "
          f"cpu {statistics.median(f[2] for f in figures):5.1f} us/report")
PY
