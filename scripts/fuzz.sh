#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address + undefined sanitizers) and
# runs each for a short time: scripts/fuzz.sh [seconds-per-target]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-20}
build="$top/build/fuzz"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVZ_SANITIZE=ON -DVZ_FUZZERS=ON -DVZ_BENCHMARKS=OFF -DBUILD_TESTING=OFF >/dev/null
names=$(grep -v '^$' "$build/fuzzer_names.txt" || true)
[ -n "$names" ] || { echo "fuzz: no fuzz targets"; exit 0; }
cmake --build "$build" -j "$(nproc)" --target all_fuzzers
status=0
for name in $names; do
  corpus=$(grep "^$name=" "$build/fuzzers.txt" | head -1 | cut -d= -f2- || true)
  work="$build/corpus/$name"
  mkdir -p "$work"
  echo "fuzz: $name for ${seconds}s"
  if ! "$build/bin/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
      "$work" ${corpus:+"$corpus"} >"$build/$name.log" 2>&1; then
    echo "fuzz: $name FAILED"; tail -50 "$build/$name.log"; status=1
  fi
done
exit $status
