#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address + undefined sanitizers) and
# runs them on one shared budget: scripts/fuzz.sh [total-seconds]
# The budget (default 480 s of fuzzing) is split evenly over the targets, at
# least 10 s each, and the targets run side by side, one per core.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
budget=${1:-480}
build="$top/build/fuzz"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$top" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVZ_SANITIZE=ON -DVZ_FUZZERS=ON -DVZ_BENCHMARKS=OFF -DBUILD_TESTING=OFF \
  -DVZ_WERROR="${VZ_WERROR:-ON}" "${launcher[@]}" >/dev/null
names=$(grep -v '^$' "$build/fuzzer_names.txt" || true)
[ -n "$names" ] || { echo "fuzz: no fuzz targets"; exit 0; }
cmake --build "$build" -j "${VZ_JOBS:-$(nproc)}" --target all_fuzzers
count=$(echo "$names" | wc -l)
seconds=$(( budget / count ))
[ "$seconds" -ge 10 ] || seconds=10
echo "fuzz: $count targets, ${seconds}s each, ${VZ_JOBS:-$(nproc)} at a time"

run_one() {
  local name=$1 corpus work
  corpus=$(grep "^$name=" "$build/fuzzers.txt" | head -1 | cut -d= -f2- || true)
  work="$build/corpus/$name"
  mkdir -p "$work"
  if "$build/bin/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 -artifact_prefix="$build/$name-" \
      "$work" ${corpus:+"$corpus"} >"$build/$name.log" 2>&1; then
    echo "fuzz: $name passed"
  else
    echo "fuzz: $name FAILED"; tail -50 "$build/$name.log"; return 1
  fi
}
export -f run_one
export build seconds
echo "$names" | xargs -P "${VZ_JOBS:-$(nproc)}" -I{} bash -c 'run_one {}'
