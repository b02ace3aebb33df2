#!/usr/bin/env bash
# Prints a release's cost and what stripping takes off: the time of scripts/release in a fresh
# clone of this commit (packages installed, no compiler cache; wall and CPU seconds), then the
# sizes of the program and the library as linked (with their -g1 debug data and symbols),
# without the debug data (what a build without -g links), as released (stripped), and their
# debug files.
#   tools/bench/release_bench.sh [HOST]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
host=${1:-report.example.com}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone -q --no-checkout "$root" "$work/VxmCheck"
git -C "$work/VxmCheck" checkout -q "$(git -C "$root" rev-parse HEAD)"
mkdir -p "$work/VxmCheck/.deps"
cp -a "$root/.deps/boost-program-options" "$work/VxmCheck/.deps/"
cd "$work/VxmCheck"
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
/usr/bin/time -f "release from a fresh clone: %e s wall, %U s user, %S s system" \
  scripts/release "$host" >"$work/release.log" 2>"$work/time.log" || { cat "$work/release.log" "$work/time.log"; exit 1; }
tail -n 1 "$work/time.log"

stage=build/release/stage
name=$(ls "$stage" | grep -v -- '-symbols$' | grep '^VxmCheck-')
printf '%-12s %12s %12s %12s %12s\n' file linked no-debug released debug-file
for binary in VxmCheck.exe KorFact.dll; do
  i686-w64-mingw32-objcopy --strip-debug "build/release/bin/$binary" "$work/$binary.nodebug"
  printf '%-12s %12d %12d %12d %12d\n' "$binary" "$(stat -c %s "build/release/bin/$binary")" \
    "$(stat -c %s "$work/$binary.nodebug")" "$(stat -c %s "$stage/$name/$binary")" \
    "$(stat -c %s "$stage/$name-symbols/$binary.debug")"
done
ls -l release/ | awk 'NR > 1 { printf "%-12s %12d  %s\n", "release", $5, $9 }'
