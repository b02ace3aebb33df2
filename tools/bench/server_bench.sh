#!/usr/bin/env bash
# Report server figures on loopback, SQLite then PostgreSQL:
#   tools/bench/server_bench.sh [BASE_SERVER_BINARY [PART...]]
#   (parts: throughput processes scale million)
# reports per second, latency and the server's CPU time a report at 1, 16 and 64 clients posting
# distinct valid reports (wrk), with --threads 1 and 4, and the rows stored against the replies
# that said recorded; two server processes on one PostgreSQL database; 1, 2 and 3 processes on one
# PostgreSQL database (kept-alive and a connection per report: reports per second, the worst p99,
# PostgreSQL's CPU time a report and the backends waiting on a lock); then, at 200,000 stored
# reports, the page's time and the export's time and peak memory; a full export of 1,000,000
# PostgreSQL rows (its time, the server's peak memory, and the time to the first row of the
# statement each build sends). Given the binary of a base
# revision, each figure is measured for it too, right before the current server's, on a
# database of its own. VXM_BENCH_PROCESSES ("1 2 3") and VXM_BENCH_MODES ("kept-alive close") choose
# the runs of 'processes'; VXM_BENCH_ROUNDS (1) repeats them, interleaved.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin="$root/build/server/vxm-report-server"
base=${1:-}
parts=("${@:2}")
[ ${#parts[@]} = 0 ] && parts=(throughput scale)
seconds=${VXM_BENCH_SECONDS:-8}
work=$(mktemp -d /tmp/vxm-server-bench.XXXXXX)
key=bench-operator-key-0123456789
pg_dir=""
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  [ -n "$pg_dir" ] && "$root/scripts/pg-throwaway" stop "$pg_dir"
  rm -rf "$work"
}
trap cleanup EXIT
export VXM_OPERATOR_KEY=$key

binaries=(now)
[ -n "$base" ] && binaries=(before now)
binary() { if [ "$1" = before ]; then echo "$base"; else echo "$bin"; fi; }
# Every client here has one address: the current server's per-address cap is lifted.
lifted() { [ "$1" = now ] && echo "--max-per-address 512" || true; }

start_server() { # name binary [options]: sets port and pid
  local out="$work/$1.out"
  "$2" --port 0 "${@:3}" >"$out" 2>"$work/$1.err" &
  pid=$!
  pids+=("$pid")
  for _ in $(seq 100); do grep -q listening "$out" 2>/dev/null && break; sleep 0.1; done
  port=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$out")
}
stop_server() { kill "$1"; wait "$1" 2>/dev/null || true; }
stored_rows() { # port
  curl -s -H "Authorization: Bearer $key" "http://127.0.0.1:$1/export.csv" | tail -n +2 | wc -l
}
post() { # port clients bodies [close]: prints wrk's summary line
  local threads=$(($2 < 2 ? 1 : 2))
  wrk -t$threads -c"$2" -d"${seconds}s" --latency -s "$root/tools/bench/post_reports.lua" \
    "http://127.0.0.1:$1" -- "$3" $threads ${4:-} | tail -n 1
}
said() { echo "$1" | sed 's/.*recorded \([0-9]*\).*/\1/'; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; } # user + system of the whole process

# A fresh database per run: a folder, or a database in the throwaway cluster.
fresh_database() { # engine name
  if [ "$1" = SQLite ]; then
    echo "$work/db-$2"
  else
    psql -q "$pg_url" -c "CREATE DATABASE \"$2\"" >/dev/null
    echo "${pg_url/\/\/\/postgres/\/\/\/$2}"
  fi
}

run=0

throughput() { # engine
  local engine=$1 threads clients who database out sum stored
  for threads in 1 4; do
    for who in "${binaries[@]}"; do
      run=$((run + 1))
      database=$(fresh_database "$engine" "run$run")
      start_server "run$run" "$(binary $who)" --database "$database" --threads $threads $(lifted $who)
      sum=0
      for clients in 1 16 64; do
        case $clients in 1) n=1 ;; 16) n=2 ;; 64) n=3 ;; esac
        ticks=$(cpu_ticks "$pid")
        out=$(post "$port" $clients "$work/bodies$n")
        ticks=$(($(cpu_ticks "$pid") - ticks))
        # CPU time of the server a recorded report: steadier than the rate on a shared machine.
        printf '  %-6s --threads %d %3d clients:%s  cpu %d us/report\n' "$who" $threads $clients \
          "$out" $((ticks * 1000000 / $(getconf CLK_TCK) / ($(said "$out") > 0 ? $(said "$out") : 1)))
        sum=$((sum + $(said "$out")))
      done
      stored=$(stored_rows "$port")
      # wrk drops the replies in flight when a run ends: up to 1 + 16 + 64 stored reports have
      # no counted reply. A report lost after a "recorded" reply would make this negative.
      echo "  $who --threads $threads: stored rows $stored, replies that said recorded $sum," \
        "stored without a counted reply $((stored - sum)) (at most 81)"
      stop_server "$pid"
    done
  done
}

two_servers() { # two processes on one PostgreSQL database, 32 clients each
  local who database a b out_a out_b stored
  for who in "${binaries[@]}"; do
    run=$((run + 1))
    database=$(fresh_database PostgreSQL "run$run")
    start_server "run$run-a" "$(binary $who)" --database "$database" $(lifted $who)
    a=$pid pa=$port
    start_server "run$run-b" "$(binary $who)" --database "$database" $(lifted $who)
    b=$pid pb=$port
    post "$pa" 32 "$work/bodies3" >"$work/a" &
    post "$pb" 32 "$work/bodies2" >"$work/b"
    wait $!
    out_a=$(cat "$work/a") out_b=$(cat "$work/b")
    stored=$(stored_rows "$pa")
    echo "  $who two servers, 32 clients each:"
    echo "   $out_a"
    echo "   $out_b"
    echo "   stored rows $stored, replies that said recorded $(($(said "$out_a") + $(said "$out_b")))"
    stop_server "$a"
    stop_server "$b"
  done
}

# CPU ticks of the throwaway cluster: the postmaster and every process it started.
pg_ticks() {
  local main
  main=$(head -n 1 "$pg_dir/data/postmaster.pid")
  for p in $main $(pgrep -P "$main"); do cpu_ticks "$p" 2>/dev/null || echo 0; done |
    awk '{s += $1} END {print s}'
}

processes() { # 1, 2 and 3 processes on one PostgreSQL database, 24 clients shared among them
  local mode n who database i ticks waits samples out total p99 servers posters round
  for round in $(seq "${VXM_BENCH_ROUNDS:-1}"); do
    for mode in ${VXM_BENCH_MODES:-kept-alive close}; do
      for n in ${VXM_BENCH_PROCESSES:-1 2 3}; do
        for who in "${binaries[@]}"; do
          run=$((run + 1))
          database=$(fresh_database PostgreSQL "run$run")
          servers=()
          for i in $(seq "$n"); do
            start_server "run$run-$i" "$(binary $who)" --database "$database" $(lifted $who)
            servers+=("$pid:$port")
          done
          ticks=$(pg_ticks)
          posters=()
          for i in $(seq "$n"); do
            post "${servers[i - 1]#*:}" $((24 / n)) "$work/proc$i" \
              "$([ $mode = close ] && echo close)" >"$work/out$i" &
            posters+=($!)
          done
          # Backends waiting on a lock, sampled every 0.2 s while the clients post.
          waits=0 samples=0
          while kill -0 "${posters[@]}" 2>/dev/null; do
            waits=$((waits + $(psql -Atq "$database" -c \
              "SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'")))
            samples=$((samples + 1))
            sleep 0.2
          done
          for i in "${posters[@]}"; do wait "$i"; done
          ticks=$(($(pg_ticks) - ticks))
          out=$(cat "$work"/out*)
          rm -f "$work"/out*
          total=$(echo "$out" | awk '{s += $1} END {print s}')
          p99=$(echo "$out" | awk '{for (i = 1; i < NF; i++) if ($i == "p99" && $(i + 1) > m) m = $(i + 1)} END {print m}')
          printf '  %-6s %-10s %d process(es): %6d reports/s  p99 %7.2f ms  postgresql cpu %d us/report  lock waits %s\n' \
            "$who" "$mode" "$n" "$total" "$p99" \
            $((ticks * 1000000 / $(getconf CLK_TCK) / (total * seconds > 0 ? total * seconds : 1))) \
            "$(awk -v w=$waits -v s=$samples 'BEGIN {printf "%.2f", s ? w / s : 0}')"
          for i in $(seq "$n"); do stop_server "${servers[i - 1]%%:*}"; done
        done
      done
    done
  done
}

at_scale() { # engine: fills one database to 200,000 reports, then each binary reads it
  local engine=$1 database rows who before export page poster
  run=$((run + 1))
  database=$(fresh_database "$engine" "run$run")
  start_server "fill$run" "$bin" --database "$database" --threads 2 $(lifted now)
  python3 "$root/tools/bench/make_reports.py" 200000 "f$run$RANDOM" "$work/fill"
  wrk -t2 -c64 -d600s -s "$root/tools/bench/post_reports.lua" "http://127.0.0.1:$port" -- \
    "$work/fill" 2 >/dev/null &
  poster=$!
  # wrk has no count limit: once the server's own count stops rising, the file has been posted
  # (what follows it is refused as malformed).
  local last=-1 now=0
  until [ "$now" = "$last" ]; do
    last=$now
    sleep 3
    now=$(curl -s "http://127.0.0.1:$port/metrics" |
      sed -n 's/^vxm_reports_total{decision="recorded"} //p')
  done
  kill $poster
  wait $poster 2>/dev/null || true
  stop_server "$pid"
  for who in "${binaries[@]}"; do
    start_server "read$run$who" "$(binary $who)" --database "$database" $(lifted $who)
    page=$(for _ in 1 2 3 4 5; do curl -s -o /dev/null -w '%{time_total} ' "http://127.0.0.1:$port/"; done)
    before=$(awk '/VmRSS/ {printf "%d", $2 / 1024}' "/proc/$pid/status")
    echo 5 >"/proc/$pid/clear_refs" # the peak below is the export's
    export=$(curl -s -o "$work/export.csv" -w '%{time_total}' -H "Authorization: Bearer $key" \
      "http://127.0.0.1:$port/export.csv")
    rows=$(($(wc -l <"$work/export.csv") - 1))
    echo "  $engine, $who, at $rows rows: export $export s ($(($(stat -c %s "$work/export.csv") / 1048576)) MB)," \
      "server memory $before MB before, peak $(awk '/VmHWM/ {printf "%d", $2 / 1024}' "/proc/$pid/status") MB" \
      "during it; page (5 requests) ${page}s"
    stop_server "$pid"
  done
}

million() { # 1,000,000 rows written by SQL into a database the first build made
  local database who export first
  run=$((run + 1))
  database=$(fresh_database PostgreSQL "run$run")
  # Made by the first build: an older one refuses a database a newer one upgraded.
  start_server "make$run" "$(binary "${binaries[0]}")" --database "$database"
  stop_server "$pid"
  local columns="" values="" name
  for name in u mc cpu mm dm cc lcc lvm tvm os rs dx vc dd hl s pn nc ei tk; do
    columns+=", $name"
    values+=", convert_to('$name-' || g, 'UTF8')"
  done
  psql -q "$database" -c "INSERT INTO reports (received, peer, gain$columns) SELECT
    1765000000 + g, '127.0.0.1', 800$values FROM generate_series(1, 1000000) AS g" >/dev/null
  psql -q "$database" -c "VACUUM ANALYZE reports" >/dev/null
  for who in "${binaries[@]}"; do
    start_server "million$run$who" "$(binary $who)" --database "$database" $(lifted $who)
    echo 5 >"/proc/$pid/clear_refs"
    export=$(curl -s -o "$work/export.csv" -w '%{time_total}' -H "Authorization: Bearer $key" \
      "http://127.0.0.1:$port/export.csv?raw=1")
    echo "  $who: export of $(($(wc -l <"$work/export.csv") - 1)) rows $export s," \
      "server peak $(awk '/VmHWM/ {printf "%d", $2 / 1024}' "/proc/$pid/status") MB"
    stop_server "$pid"
  done
  # The export's first row as each build asks for it: ordered by the text column (before), or
  # a page through the primary key (now): the plan's startup time and its top node.
  for first in "ORDER BY id" "AND reports.id <= 1000000 ORDER BY reports.id LIMIT 1000"; do
    echo "  first row, \"$first\": $(psql -At "$database" -c "EXPLAIN ANALYZE SELECT
      CAST(id AS TEXT), u FROM reports WHERE reports.id > 0 $first" | head -n 1 |
      sed 's/  (cost=[^)]*)//')"
  done
}

wanted() { [[ " ${parts[*]} " == *" $1 "* ]]; }
echo "== report server: loopback, ${seconds} s per run${base:+, before: $base}"
pg=$("$root/scripts/pg-throwaway" start)
pg_dir=$(echo "$pg" | sed -n 1p)
pg_url=$(echo "$pg" | sed -n 2p)
if wanted throughput; then
  # Enough distinct reports that no run exhausts its file (once 120,000 each, which the fastest
  # runs used up within the 8 s): the single client's file, then the 16 and 64 clients' (which
  # the two servers on one database share out).
  counts=($((seconds * 6000)) $((seconds * 60000)) $((seconds * 60000)))
  makers=()
  for n in 1 2 3; do
    python3 "$root/tools/bench/make_reports.py" "${counts[n - 1]}" "r$n$RANDOM" "$work/bodies$n" &
    makers+=($!)
  done
  for maker in "${makers[@]}"; do wait "$maker"; done
  echo "-- SQLite"
  throughput SQLite
  echo "-- PostgreSQL"
  throughput PostgreSQL
  two_servers
fi
if wanted processes; then
  makers=()
  for n in 1 2 3; do
    python3 "$root/tools/bench/make_reports.py" $((seconds * 8000)) "p$n$RANDOM" "$work/proc$n" &
    makers+=($!)
  done
  for maker in "${makers[@]}"; do wait "$maker"; done
  echo "-- 1, 2 and 3 processes on one PostgreSQL database"
  processes
fi
if wanted million; then
  echo "-- 1,000,000 rows on PostgreSQL"
  million
fi
if wanted scale; then
  echo "-- 200,000 reports"
  at_scale SQLite
  at_scale PostgreSQL
fi
